// A dry run plans exactly what the real install then does, and touches nothing meanwhile.
#include "trace/dry_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "install/sandbox.h"
#include "trace/logged_services.h"

namespace inst::trace {
namespace {

using testing::Sandbox;

struct Lines final : EventSink {
  std::vector<std::string> lines;
  void event(const std::string& line) override { lines.push_back(line); }
};

struct NoSleep final : Sleeper {
  void sleep(unsigned) override {}
};

// The log's lines as the plan writes them: successful ones without their result, failed ones
// left out (the plan stops before a failure without a line of its own).
std::vector<std::string> AsPlanned(const std::vector<std::string>& log) {
  std::vector<std::string> out;
  const std::string ok = " result=ok";
  for (const std::string& line : log) {
    if (line.ends_with(ok)) {
      out.push_back(line.substr(0, line.size() - ok.size()));
    } else if (line.find(" result=") == std::string::npos) {
      out.push_back(line);
    }
  }
  return out;
}

TEST(DryRun, PlansWhatTheInstallThenDoesAndWritesNothing) {
  const struct {
    const char* what;
    std::function<void(Sandbox&)> arrange;
    bool ok;
  } cases[] = {
      {"everything", [](Sandbox&) {}, true},
      {"confignames off", [](Sandbox& b) { b.setting("ModifyScriptName", "0"); }, true},
      {"extras off", [](Sandbox& b) { b.setting("Extras", "no"); }, true},
      {"the user's own default script",
       [](Sandbox& b) { b.write(b.user("16.0", "PTB") + "\\default.jss", "mine"); }, true},
      {"a shared folder missing", [](Sandbox& b) { b.remove(b.shared("17.0", "ENU")); }, true},
      {"a key map already there",
       [](Sandbox& b) {
         b.write(b.user("17.0", "PTB") + "\\Default.jkm", "[Common Keys]\r\nctrl+x=y\r\n");
       },
       true},
      {"the package's default script missing", [](Sandbox& b) { b.remove(b.exe() + "\\Extras"); },
       false},
      {"a settings folder missing", [](Sandbox& b) { b.remove(b.settingsFolder("16.0")); }, false},
      {"no package", [](Sandbox& b) { b.remove(b.package()); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Sandbox box;
    box.populate({"ENU", "PTB"});
    c.arrange(box);
    testing::RealFileSystem realFs;
    testing::RealProfile realProfile;
    testing::FixedEnvironment env;
    env.vars = {{"appdata", box.root() + "\\Roaming"},
                {"allusersprofile", box.root() + "\\ProgramData"}};
    NoSleep sleeper;
    const std::array<VersionBox, 4> boxes{VersionBox{"17.0", 1}, VersionBox{"16.0", 1}, {}, {}};

    const auto before = box.snapshot();
    Lines plan;
    DryRun dry(realFs, realProfile, plan);
    Status planned = RunInstall({dry.fs(), dry.profile(), env, sleeper, &plan}, box.exe(),
                                box.setupIni(), boxes, 2);
    EXPECT_EQ(box.snapshot(), before);

    Lines log;
    LoggedFileSystem loggedFs(realFs, log);
    LoggedProfile loggedProfile(realProfile, log);
    Status done = RunInstall({loggedFs, loggedProfile, env, sleeper, &log}, box.exe(),
                             box.setupIni(), boxes, 2);
    EXPECT_EQ(static_cast<bool>(done), c.ok) << done.path() << ": " << done.reason();
    EXPECT_EQ(static_cast<bool>(planned), c.ok) << planned.path() << ": " << planned.reason();
    EXPECT_EQ(planned.path(), done.path());
    std::erase_if(log.lines, [](const std::string& l) { return l.starts_with("read "); });
    EXPECT_EQ(plan.lines, AsPlanned(log.lines));
    if (c.ok) {
      EXPECT_FALSE(plan.lines.empty());
    }
  }
}

// A planned write reads back and makes its file exist; the real file stays as it was.
TEST(DryRun, LaterQuestionsSeeEarlierPlannedWrites) {
  Sandbox box;
  box.populate({"PTB"});
  testing::RealFileSystem realFs;
  testing::RealProfile realProfile;
  Lines plan;
  DryRun dry(realFs, realProfile, plan);
  const std::string keyMap = box.user("17.0", "PTB") + "\\DEFAULT.JKM";
  const std::string pkgFile = box.package() + "\\sub\\notas.txt";

  EXPECT_FALSE(dry.fs().fileExists(keyMap));
  ASSERT_TRUE(dry.profile().writeString("Common Keys", "windows+backspace", "x", keyMap));
  EXPECT_TRUE(dry.fs().fileExists(box.user("17.0", "PTB") + "\\default.jkm"));
  EXPECT_EQ(ReadIniValue(dry.profile(), "common keys", "WINDOWS+BACKSPACE", keyMap), "x");
  EXPECT_FALSE(realFs.fileExists(keyMap));

  ASSERT_TRUE(dry.fs().copyFolder(box.package(), box.user("17.0", "PTB")));
  EXPECT_TRUE(dry.fs().folderExists(box.user("17.0", "PTB") + "\\SUB"));
  std::string bytes;
  ASSERT_TRUE(dry.fs().readFile(box.user("17.0", "PTB") + "/sub/NOTAS.TXT", bytes));
  EXPECT_EQ(bytes, box.read(pkgFile));
  std::vector<SubFolder> listed;
  ASSERT_TRUE(dry.fs().subFolders(box.user("17.0", "PTB"), listed));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].name, "sub");
  EXPECT_FALSE(realFs.folderExists(box.user("17.0", "PTB") + "\\sub"));

  // A copy of a planned file is a copy of the real one it stands for.
  ASSERT_TRUE(dry.fs().copyFile(box.user("17.0", "PTB") + "\\sub\\notas.txt",
                                box.user("17.0", "PTB") + "\\again.txt"));
  ASSERT_TRUE(dry.fs().readFile(box.user("17.0", "PTB") + "\\again.txt", bytes));
  EXPECT_EQ(bytes, box.read(pkgFile));
  EXPECT_FALSE(dry.fs().copyFile(box.root() + "\\nothing", box.user("17.0", "PTB") + "\\x"));
  EXPECT_FALSE(dry.fs().copyFile(pkgFile, box.root() + "\\no\\such\\x"));
  EXPECT_FALSE(dry.profile().writeString("S", "k", "v", box.root() + "\\no\\such\\x.ini"));
}

}  // namespace
}  // namespace inst::trace
