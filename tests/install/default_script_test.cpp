// The default-script step: its four conditions, the shared-folder check, the three copies, the
// pause and the key-map entry, one folder at a time.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "install/sandbox.h"

namespace inst::testing {
namespace {

const std::array<VersionBox, 4> kOne = {VersionBox{"17.0", 1}, {}, {}, {}};

struct ConditionCase {
  const char* name;
  bool markerInPackage;      // RedidUzizu.jsb shipped in pastascripts
  bool markerAlreadyInUser;  // left by an earlier package
  const char* extras;
  const char* userJsb;  // the user's own compiled default script, as spelled; "" when absent
  const char* userJss;
  bool sharedThere;
  bool replaced;
  friend void PrintTo(const ConditionCase& c, std::ostream* os) { *os << c.name; }
};

class DefaultScriptConditions : public ::testing::TestWithParam<ConditionCase> {};

TEST_P(DefaultScriptConditions, ReplacesOnlyWhenAllHold) {
  const ConditionCase& c = GetParam();
  Sandbox box;
  box.setting("Extras", c.extras);
  if (!c.markerInPackage) box.remove(box.package() + "\\RedidUzizu.jsb");
  box.addUser("17.0", {"ENU"});
  const std::string u = box.user("17.0", "ENU");
  if (c.markerAlreadyInUser) box.write(u + "\\RedidUzizu.jsb", "older marker");
  if (*c.userJsb) box.write(u + "\\" + c.userJsb, "user's own jsb");
  if (*c.userJss) box.write(u + "\\" + c.userJss, "user's own jss");
  if (c.sharedThere) box.addShared("17.0", "ENU", false);
  const std::string keyMap = "[Common Keys]\r\nwindows+backspace=user's choice\r\n";
  box.write(u + "\\Default.jkm", keyMap);

  ASSERT_TRUE(box.run(kOne, 1).ok());

  if (c.replaced) {
    EXPECT_EQ(box.read(u + "\\default.jsb"), "package default script");
    EXPECT_EQ(box.read(u + "\\default_fs.jsb"), "shared jsb 17.0 ENU");
    EXPECT_EQ(box.read(u + "\\default_fs.jsd"), "shared jsd 17.0 ENU");
    EXPECT_EQ(box.iniValue(u + "\\Default.jkm", "Common Keys", "windows+backspace"),
              "swSayAlert(1)");
    EXPECT_EQ(box.rec.lines("sleep ").size(), 1u);
  } else {
    EXPECT_TRUE(box.rec.lines("copyFile ").empty());
    EXPECT_TRUE(box.rec.lines("sleep ").empty());
    EXPECT_TRUE(box.rec.lines("iniWrite [Common Keys]").empty());
    EXPECT_EQ(box.read(u + "\\Default.jkm"), keyMap);
    EXPECT_FALSE(box.isFile(u + "\\default_fs.jsb"));
    EXPECT_EQ(box.read(u + "\\default.jsb"), *c.userJsb ? "user's own jsb" : "<missing>");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Install, DefaultScriptConditions,
    ::testing::Values(
        ConditionCase{"AllHold", true, false, "1", "", "", true, true},
        ConditionCase{"ExtrasOff", true, false, "0", "", "", true, false},
        ConditionCase{"ExtrasEmpty", true, false, "", "", "", true, false},
        ConditionCase{"ExtrasWord", true, false, "sim", "", "", true, false},
        ConditionCase{"ExtrasHalf", true, false, "0.5", "", "", true, true},
        ConditionCase{"UserHasSourceOnly", true, false, "1", "", "default.jss", true, false},
        ConditionCase{"UserHasCompiled", true, false, "1", "default.jsb", "", true, false},
        ConditionCase{"UserHasCompiledOtherCase", true, false, "1", "DEFAULT.JSB", "", true, false},
        ConditionCase{"UserHasBoth", true, false, "1", "default.jsb", "Default.jss", true, false},
        ConditionCase{"MarkerMissing", false, false, "1", "", "", true, false},
        ConditionCase{"MarkerOnlyFromEarlierInstall", false, true, "1", "", "", true, true},
        ConditionCase{"SharedFolderMissing", true, false, "1", "", "", false, false}),
    [](const auto& info) { return info.param.name; });

TEST(DefaultScript, SecondInstallLeavesTheReplacementAlone) {
  Sandbox box;
  box.addUser("17.0", {"ENU"});
  box.addShared("17.0", "ENU");
  ASSERT_TRUE(box.run(kOne, 1).ok());

  // What JAWS or the user changed since must survive a second install of the same package.
  const std::string u = box.user("17.0", "ENU");
  box.write(box.shared("17.0", "ENU") + "\\default.jsb", "newer shared jsb");
  box.write(u + "\\Default.jkm", "[Common Keys]\r\nwindows+backspace=edited\r\n");
  box.rec.log.clear();
  ASSERT_TRUE(box.run(kOne, 1).ok());

  EXPECT_EQ(box.rec.lines("copyFolder ").size(), 1u);
  EXPECT_TRUE(box.rec.lines("copyFile ").empty());
  EXPECT_TRUE(box.rec.lines("sleep ").empty());
  EXPECT_EQ(box.read(u + "\\default_fs.jsb"), "shared jsb 17.0 ENU");
  EXPECT_EQ(box.read(u + "\\Default.jkm"), "[Common Keys]\r\nwindows+backspace=edited\r\n");
}

TEST(DefaultScript, EachFolderDecidedAloneWithItsOwnSharedFolder) {
  Sandbox box;
  box.addUser("17.0", {"ENU", "PTB", "PTG"});
  box.addUser("16.0", {"ptb"});
  box.addShared("17.0", "ENU");
  box.addShared("17.0", "PTB");
  box.addShared("16.0", "ptb");
  // ENU: the user's own source script; PTG: no shared folder.
  box.write(box.user("17.0", "ENU") + "\\default.jss", "mine");
  ASSERT_TRUE(box.run().ok());

  EXPECT_FALSE(box.isFile(box.user("17.0", "ENU") + "\\default_fs.jsb"));
  EXPECT_EQ(box.read(box.user("17.0", "PTB") + "\\default_fs.jsb"), "shared jsb 17.0 PTB");
  EXPECT_EQ(box.read(box.user("17.0", "PTB") + "\\default_fs.jsd"), "shared jsd 17.0 PTB");
  EXPECT_FALSE(box.isFile(box.user("17.0", "PTG") + "\\Default.jkm"));
  EXPECT_FALSE(box.isFolder(box.shared("17.0", "PTG")));
  EXPECT_EQ(box.read(box.user("16.0", "ptb") + "\\default_fs.jsd"), "shared jsd 16.0 ptb");

  // One pause per replaced folder, each right before that folder's key-map entry.
  std::vector<std::string> pausedBefore;
  for (std::size_t i = 0; i + 1 < box.rec.log.size(); ++i) {
    if (box.rec.log[i] == "sleep 100") pausedBefore.push_back(box.rec.log[i + 1]);
  }
  EXPECT_EQ(pausedBefore,
            (std::vector<std::string>{"iniWrite [Common Keys] windows+backspace=swSayAlert(1) " +
                                          box.user("17.0", "PTB") + "\\Default.jkm",
                                      "iniWrite [Common Keys] windows+backspace=swSayAlert(1) " +
                                          box.user("16.0", "ptb") + "\\Default.jkm"}));
  EXPECT_EQ(box.rec.lines("sleep").size(), 2u);
}

// A source the step copies from that is not there stops the whole install at that copy.
struct MissingSourceCase {
  const char* name;
  const char* missing;  // below the sandbox's root
  friend void PrintTo(const MissingSourceCase& c, std::ostream* os) { *os << c.name; }
};

class DefaultScriptMissingSource : public ::testing::TestWithParam<MissingSourceCase> {};

TEST_P(DefaultScriptMissingSource, StopsTheInstallThere) {
  Sandbox box;
  box.populate({"ENU", "PTB"});
  const std::string missing = box.root() + GetParam().missing;
  box.remove(missing);
  const Status st = box.run();

  ASSERT_FALSE(st.ok());
  EXPECT_FALSE(st.reason().empty());
  EXPECT_EQ(Normalized(st.path()), Normalized(missing));
  EXPECT_EQ(box.rec.log.back().rfind("copyFile " + missing + " -> ", 0), 0u) << box.rec.log.back();
  EXPECT_TRUE(box.rec.lines("sleep").empty());
  EXPECT_FALSE(box.isFile(box.user("17.0", "PTB") + "\\leitor.jss"))
      << "later folders must not be processed";
}

INSTANTIATE_TEST_SUITE_P(
    Install, DefaultScriptMissingSource,
    ::testing::Values(
        MissingSourceCase{"PackageDefault", "\\Pacote\\Extras\\extra1.ext"},
        MissingSourceCase{
            "SharedCompiled",
            "\\ProgramData\\Freedom scientific\\jaws\\17.0\\settings\\ENU\\default.jsb"},
        MissingSourceCase{
            "SharedDocumentation",
            "\\ProgramData\\Freedom scientific\\jaws\\17.0\\settings\\ENU\\default.jsd"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace inst::testing
