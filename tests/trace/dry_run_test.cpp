// What a dry run answers after its planned writes; the plan against a real run's log is tested
// end to end (tests/e2e/cli_test.py).
#include "trace/dry_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/host.h"
#include "support/jaws_sandbox.h"

namespace inst::trace {
namespace {

using testing::JawsSandbox;

struct Lines final : EventSink {
  std::vector<std::string> lines;
  void event(const std::string& line) override { lines.push_back(line); }
};

// A planned write reads back and makes its file exist; the real file stays as it was.
TEST(DryRun, LaterQuestionsSeeEarlierPlannedWrites) {
  JawsSandbox box;
  box.populate({"PTB"});
  host::NativeServices native = host::MakeNativeServices();
  FileSystem& realFs = *native.fs;
  Profile& realProfile = *native.profile;
  Lines plan;
  DryRun dry(realFs, realProfile, plan);
  const std::string keyMap = box.user("17.0", "PTB") + "\\DEFAULT.JKM";
  const std::string pkgFile = box.package() + "\\sub\\notas.txt";

  EXPECT_FALSE(dry.fs().fileExists(keyMap));
  ASSERT_TRUE(dry.profile().writeString("Common Keys", "windows+backspace", "x", keyMap));
  EXPECT_TRUE(dry.fs().fileExists(box.user("17.0", "PTB") + "\\default.jkm"));
  EXPECT_EQ(ReadIniValue(dry.profile(), "common keys", "WINDOWS+BACKSPACE", keyMap), "x");
  EXPECT_FALSE(realFs.fileExists(keyMap));
  // A planned removal reads as missing and, like the real one, makes no file of its own.
  ASSERT_TRUE(dry.profile().removeString("COMMON KEYS", "Windows+BackSpace", keyMap));
  EXPECT_EQ(ReadIniValue(dry.profile(), "Common Keys", "windows+backspace", keyMap), "");
  EXPECT_THAT(plan.lines.back(), ::testing::MatchesRegex("delete file=.* section=\"COMMON KEYS\" "
                                                         "key=\"Windows\\+BackSpace\""));
  ASSERT_TRUE(dry.profile().removeString("S", "k", box.root() + "\\absent.ini"));
  EXPECT_FALSE(dry.fs().fileExists(box.root() + "\\absent.ini"));

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
