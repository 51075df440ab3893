#include "jaws/layout.h"

#include <gtest/gtest.h>

namespace inst::jaws {
namespace {

TEST(JawsRoot, DropsTheX86FolderOnlyWhenWrittenExactly) {
  struct Case {
    const char* programFiles;
    const char* root;
  };
  const Case cases[] = {
      {"C:\\Program Files (x86)", "C:\\Program Files\\Freedom Scientific\\Jaws"},
      {"C:\\Program Files", "C:\\Program Files\\Freedom Scientific\\Jaws"},
      // Looked for without the blank, removed with it: no blank, nothing removed.
      {"C:\\Programs(x86)", "C:\\Programs(x86)\\Freedom Scientific\\Jaws"},
      {"C:\\Program Files (X86)", "C:\\Program Files (X86)\\Freedom Scientific\\Jaws"},
      {"D:\\A (x86)\\B (x86)", "D:\\A\\B\\Freedom Scientific\\Jaws"},
      // One pass: what the removal brings together is not removed again.
      {"E:\\x  ( (x86)x86)", "E:\\x  (x86)\\Freedom Scientific\\Jaws"},
      {"E:\\(x86) (x86)", "E:\\(x86)\\Freedom Scientific\\Jaws"},
      // Not set: a folder relative to the root of the current drive.
      {"", "\\Freedom Scientific\\Jaws"},
  };
  for (const Case& c : cases) EXPECT_EQ(JawsRootFrom(c.programFiles), c.root) << c.programFiles;
}

TEST(JawsFolders, AreBuiltByPlainConcatenation) {
  EXPECT_EQ(UserSettingsRoot("C:\\Users\\Ana\\AppData\\Roaming"),
            "C:\\Users\\Ana\\AppData\\Roaming\\freedom scientific\\jaws\\");
  EXPECT_EQ(UserSettingsFolder("C:\\AD", "17.0"),
            "C:\\AD\\freedom scientific\\jaws\\17.0\\settings\\");
  EXPECT_EQ(SharedLanguageFolder("C:\\ProgramData", "17.0", "ptb"),
            "C:\\ProgramData\\Freedom scientific\\jaws\\17.0\\settings\\ptb");
  EXPECT_EQ(ConfigNamesFile("S"), "S\\confignames.ini");
  // A value that already ends in a separator still gets one: nothing is normalised.
  EXPECT_EQ(UserSettingsRoot("C:\\AD\\"), "C:\\AD\\\\freedom scientific\\jaws\\");
}

TEST(JawsFolders, LanguageFolderNamesMatchWholeIgnoringCase) {
  struct Case {
    const char* name;
    bool language;
  };
  const Case cases[] = {
      {"ENU", true},   {"enu", true},      {"Ptb", true},   {"pTg", true}, {"DEU", false},
      {"ENU1", false}, {"ENU.old", false}, {" ENU", false}, {"EN", false}, {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsLanguageFolderName(c.name), c.language) << c.name;
}

}  // namespace
}  // namespace inst::jaws
