// The engine on the platform's own back ends, in real folders: the bytes that land, what stays
// untouched, and a second install.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/jaws_sandbox.h"

namespace inst::testing {
namespace {

// Paths under the root that an install may add or change: the per-user language folders of the
// JAWS settings tree, and confignames.ini in the shared one.
bool MayChange(const std::string& rel) {
  static const std::regex allowed(
      R"(^Roaming[\\/]freedom scientific[\\/]jaws[\\/][^\\/]+[\\/]settings[\\/](ENU|Ptb|PTB|enu)([\\/].*)?$|)"
      R"(^ProgramData[\\/]Freedom scientific[\\/]jaws[\\/][^\\/]+[\\/]settings[\\/][^\\/]+[\\/]confignames\.ini$|)"
      // What the installation replaces is kept beside the language folders.
      R"(^Roaming[\\/]freedom scientific[\\/]jaws[\\/][^\\/]+[\\/]settings[\\/]instalador-backup([\\/].*)?$|)"
      // The lock of the installation's file work, made once and left for the next run.
      R"(^Roaming[\\/]freedom scientific[\\/]jaws[\\/]instalador\.lock$)");
  return std::regex_match(rel, allowed);
}

TEST(SandboxInstall, WritesTheRightBytesAndNothingElse) {
  JawsSandbox box;
  box.populate({"ENU", "Ptb"});
  const std::string u17 = box.user("17.0", "ENU");
  box.write(u17 + "\\mine.txt", "the user's own file");
  box.write(u17 + "\\LEITOR.JSS", "older package source");
  box.write(u17 + "\\Default.jkm",
            "[Common Keys]\r\nInsert+T=SayWindowTitle\r\nwindows+backspace=Old\r\n\r\n"
            "[Desktop Keys]\r\nwindows+backspace=Other\r\n");
  // 17.0 Ptb: no shared folder. 16.0 Ptb: the user's own default script source.
  box.remove(box.shared("17.0", "Ptb"));
  box.write(box.user("16.0", "Ptb") + "\\default.jss", "user's source");

  const auto before = box.snapshot();
  const Status st = box.run();
  ASSERT_TRUE(st.ok()) << st.path() << ": " << st.reason();
  const auto after = box.snapshot();

  for (const auto& [rel, bytes] : before) EXPECT_TRUE(after.count(rel)) << rel << " disappeared";
  for (const auto& [rel, bytes] : after) {
    auto was = before.find(rel);
    EXPECT_TRUE(MayChange(rel) || (was != before.end() && was->second == bytes)) << rel;
  }

  // The package copy replaces what it brings (keeping the file's name), leaves the rest.
  EXPECT_EQ(box.read(u17 + "\\mine.txt"), "the user's own file");
  EXPECT_EQ(box.read(u17 + "\\LEITOR.JSS"), "package source");

  // The default-script step in 17.0 ENU and 16.0 ENU, each from its own shared folder.
  for (const char* version : {"17.0", "16.0"}) {
    const std::string u = box.user(version, "ENU");
    EXPECT_EQ(box.read(u + "\\Default.jsb"), "package default script") << version;
    EXPECT_EQ(box.read(u + "\\default_fs.jsb"), "shared jsb " + std::string(version) + " ENU");
    EXPECT_EQ(box.read(u + "\\default_fs.jsd"), "shared jsd " + std::string(version) + " ENU");
    EXPECT_EQ(box.iniValue(u + "\\Default.jkm", "Common Keys", "windows+backspace"),
              "swSayAlert(1)");
  }
  EXPECT_EQ(box.iniValue(u17 + "\\Default.jkm", "Common Keys", "Insert+T"), "SayWindowTitle");
  EXPECT_EQ(box.iniValue(u17 + "\\Default.jkm", "Desktop Keys", "windows+backspace"), "Other");
  EXPECT_EQ(box.rec.lines("sleep 100").size(), 2u);

  // Not replaced: no shared folder (17.0 Ptb), the user's own script (16.0 Ptb).
  for (const char* version : {"17.0", "16.0"}) {
    const std::string u = box.user(version, "Ptb");
    EXPECT_EQ(box.read(u + "\\leitor.jss"), "package source") << version;
    EXPECT_FALSE(box.isFile(u + "\\default_fs.jsb")) << version;
    EXPECT_FALSE(box.isFile(u + "\\Default.jkm")) << version;
  }
  EXPECT_FALSE(box.isFolder(box.shared("17.0", "Ptb")));

  // The ConfigNames entry goes to each folder's own shared folder too.
  EXPECT_EQ(box.iniValue(box.shared("16.0", "Ptb") + "\\confignames.ini", "ConfigNames", "notepad"),
            "bloco");
}

// Once the step has run, the user's folder holds a compiled default script: a second install
// of the same package copies the package again and leaves everything else alone, also what
// JAWS or the user changed since.
TEST(SandboxInstall, SecondInstallChangesNothingElse) {
  JawsSandbox box;
  box.populate({"ENU", "PTB"});
  ASSERT_TRUE(box.run().ok());
  box.write(box.shared("17.0", "ENU") + "\\default.jsb", "newer shared jsb");
  box.write(box.user("17.0", "ENU") + "\\Default.jkm",
            "[Common Keys]\r\nwindows+backspace=edited\r\n");
  const auto first = box.snapshot();
  box.rec.log.clear();
  ASSERT_TRUE(box.run().ok());
  EXPECT_EQ(box.snapshot(), first);
  EXPECT_EQ(box.rec.lines("copyFolder ").size(), 4u);
  EXPECT_TRUE(box.rec.lines("copyFile ").empty());
  EXPECT_TRUE(box.rec.lines("sleep ").empty());
  EXPECT_TRUE(box.rec.lines("iniWrite [Common Keys]").empty());
}

}  // namespace
}  // namespace inst::testing
