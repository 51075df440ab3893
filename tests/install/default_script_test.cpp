// The default-script step: its four conditions, the shared-folder check, the three copies, the
// pause and the key-map entry, and the sources it copies from.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/jaws_sandbox.h"

namespace inst::testing {
namespace {

TEST(DefaultScript, ReplacedOnlyWhenAllConditionsHold) {
  const struct {
    const char* name;
    bool markerInPackage;      // RedidUzizu.jsb shipped in pastascripts
    bool markerAlreadyInUser;  // left by an earlier package
    const char* extras;
    const char* userJsb;  // the user's own compiled default script, as spelled; "" when absent
    const char* userJss;
    bool sharedThere;
    bool replaced;
  } cases[] = {
      {"all hold", true, false, "1", "", "", true, true},
      {"Extras off", true, false, "0", "", "", true, false},
      {"Extras 0.5", true, false, "0.5", "", "", true, true},
      {"the user's source only", true, false, "1", "", "default.jss", true, false},
      {"the user's compiled script", true, false, "1", "default.jsb", "", true, false},
      {"the user's compiled script, other case", true, false, "1", "DEFAULT.JSB", "", true, false},
      {"marker missing", false, false, "1", "", "", true, false},
      {"marker only from an earlier install", false, true, "1", "", "", true, true},
      {"shared folder missing", true, false, "1", "", "", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    JawsSandbox box;
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

    ASSERT_TRUE(box.run({VersionBox{"17.0", 1}, {}, {}, {}}, 1).ok());

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
}

// A source of a copy that is not there stops the whole install at that copy, before anything
// of the step or of a later folder.
TEST(DefaultScript, MissingSourceStopsTheInstallThere) {
  const std::string shared17 = "\\ProgramData\\Freedom scientific\\jaws\\17.0\\settings\\ENU";
  for (const std::string& missing :
       {std::string("\\Pacote\\pastascripts"), std::string("\\Pacote\\Extras\\extra1.ext"),
        shared17 + "\\default.jsb", shared17 + "\\default.jsd"}) {
    SCOPED_TRACE(missing);
    JawsSandbox box;
    box.populate({"ENU", "PTB"});
    box.remove(box.root() + missing);
    const auto before = box.snapshot(false);
    const Status st = box.run();

    ASSERT_FALSE(st.ok());
    EXPECT_FALSE(st.reason().empty());
    EXPECT_EQ(Normalized(st.path()), Normalized(box.root() + missing));
    // A missing package is found by the look at what the copy would replace, before it.
    const std::string failed = box.root() + missing + " -> ";
    EXPECT_EQ(missing.ends_with("pastascripts"),
              std::none_of(box.rec.log.begin(), box.rec.log.end(), [&](const std::string& line) {
                return line.rfind("copy", 0) == 0 && line.find(failed) != std::string::npos;
              }));
    EXPECT_TRUE(box.rec.lines("sleep").empty());
    EXPECT_FALSE(box.isFile(box.user("17.0", "PTB") + "\\leitor.jss"))
        << "later folders must not be processed";
    // The folder it failed in is put back whole: no Default.jsb without the files it relies on,
    // and none of the package's files either.
    EXPECT_EQ(box.snapshot(false), before);
    EXPECT_NE(st.note().find("como estava antes"), std::string::npos) << st.note();
  }
}

}  // namespace
}  // namespace inst::testing
