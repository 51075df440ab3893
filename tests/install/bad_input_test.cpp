// Settings and version names that would break JAWS's files or lead outside its folders are
// refused before any file is touched.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "install/sandbox.h"

namespace inst::testing {
namespace {

bool TouchedAnyFile(const Recorder& rec) {
  for (const std::string& line : rec.log) {
    if (line.rfind("iniRead ", 0) != 0) return true;
  }
  return false;
}

struct SettingCase {
  const char* name;
  const char* modify;
  const char* application;  // as written in Setup.ini
  bool refused;
  friend void PrintTo(const SettingCase& c, std::ostream* os) { *os << c.name; }
};

class ConfigNamesSettings : public ::testing::TestWithParam<SettingCase> {};

TEST_P(ConfigNamesSettings, UnusableKeyRefusedUpFront) {
  const SettingCase& c = GetParam();
  Sandbox box;
  box.addUser("17.0", {"ENU"});
  box.addShared("17.0", "ENU");
  box.setting("ModifyScriptName", c.modify);
  box.setting("Application", c.application);
  const std::string configNames = box.shared("17.0", "ENU") + "\\confignames.ini";
  const std::string before = box.read(configNames);
  const Status st = box.run({VersionBox{"17.0", 1}, {}, {}, {}}, 1);

  if (c.refused) {
    ASSERT_FALSE(st.ok());
    EXPECT_EQ(st.path(), box.setupIni());
    EXPECT_FALSE(st.reason().empty());
    EXPECT_FALSE(TouchedAnyFile(box.rec));
    EXPECT_EQ(box.read(configNames), before);
  } else {
    EXPECT_TRUE(st.ok()) << st.reason();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Install, ConfigNamesSettings,
    ::testing::Values(SettingCase{"Plain", "1", "notepad", false},
                      SettingCase{"InnerBlank", "1", "bloco de notas", false},
                      SettingCase{"Empty", "1", "", true},
                      SettingCase{"QuotedBlanks", "1", "\"  \"", true},
                      SettingCase{"EqualsInKey", "1", "a=b", true},
                      SettingCase{"LooksLikeSection", "1", "[Outra]", true},
                      SettingCase{"LooksLikeSectionAfterBlank", "1", "\" [Outra]\"", true},
                      SettingCase{"LooksLikeComment", "1", ";nota", true},
                      SettingCase{"UnusedWhenSwitchedOff", "0", "", false},
                      SettingCase{"UnusedBadKeyWhenSwitchedOff", "0", "[x]", false}),
    [](const auto& info) { return info.param.name; });

struct VersionNameCase {
  const char* name;
  std::string caption;
  int value;
  bool refused;
  friend void PrintTo(const VersionNameCase& c, std::ostream* os) { *os << c.name; }
};

class VersionNames : public ::testing::TestWithParam<VersionNameCase> {};

TEST_P(VersionNames, NameThatLeavesTheSettingsTreeRefusedUpFront) {
  const VersionNameCase& c = GetParam();
  Sandbox box;
  box.addUser("17.0", {"ENU"});
  // Where "..\..\..\.." would lead from the settings tree: a folder that looks like one.
  box.makeFolder(box.root() + "\\Roaming\\settings\\ENU");
  const Status st = box.run({VersionBox{"17.0", 1}, VersionBox{c.caption, c.value}, {}, {}}, 2);

  if (c.refused) {
    ASSERT_FALSE(st.ok());
    EXPECT_FALSE(st.reason().empty());
    EXPECT_FALSE(TouchedAnyFile(box.rec)) << "not even the good version may be installed first";
  } else {
    EXPECT_TRUE(st.ok()) << st.reason();
  }
  EXPECT_FALSE(box.isFile(box.root() + "\\Roaming\\settings\\ENU\\leitor.jss"));
}

INSTANTIATE_TEST_SUITE_P(
    Install, VersionNames,
    ::testing::Values(VersionNameCase{"Empty", "", 1, true}, VersionNameCase{"Dot", ".", 1, true},
                      VersionNameCase{"DotDot", "..", 1, true},
                      VersionNameCase{"BackslashClimb", "..\\..", 1, true},
                      VersionNameCase{"SlashClimb", "../..", 1, true},
                      VersionNameCase{"UntickedBadNameIgnored", "..\\..", 0, false}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace inst::testing
