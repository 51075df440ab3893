// The engine on the platform's own back ends, in real folders: the bytes that land, what stays
// untouched, and a second install.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>

#include "install/sandbox.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace inst::testing {
namespace {

// Paths under the root that an install may add or change: the per-user language folders of the
// JAWS settings tree, and confignames.ini in the shared one.
bool MayChange(const std::string& rel) {
  static const std::regex allowed(
      R"(^Roaming[\\/]freedom scientific[\\/]jaws[\\/][^\\/]+[\\/]settings[\\/](ENU|Ptb|PTB|enu)([\\/].*)?$|)"
      R"(^ProgramData[\\/]Freedom scientific[\\/]jaws[\\/][^\\/]+[\\/]settings[\\/][^\\/]+[\\/]confignames\.ini$)");
  return std::regex_match(rel, allowed);
}

TEST(SandboxInstall, WritesTheRightBytesAndNothingElse) {
  Sandbox box;
  box.populate({"ENU", "Ptb"});
  const std::string u17 = box.user("17.0", "ENU");
  box.write(u17 + "\\mine.txt", "the user's own file");
  box.write(u17 + "\\LEITOR.JSS", "older package source");
  box.write(u17 + "\\Default.jkm",
            "[Common Keys]\r\nInsert+T=SayWindowTitle\r\nwindows+backspace=Old\r\n\r\n"
            "[Desktop Keys]\r\nwindows+backspace=Other\r\n");
  box.write(box.shared("17.0", "ENU") + "\\confignames.ini",
            "; JAWS applications\r\n[ConfigNames]\r\nwordpad=wordpad\r\nNOTEPAD=antigo\r\n");
  // 17.0 Ptb: no shared folder. 16.0 Ptb: the user's own default script source.
  box.remove(box.shared("17.0", "Ptb"));
  box.write(box.user("16.0", "Ptb") + "\\default.jss", "user's source");

  const auto before = box.snapshot();
  const Status st = box.run();
  ASSERT_TRUE(st.ok()) << st.path() << ": " << st.reason();
  const auto after = box.snapshot();

  for (const auto& [rel, bytes] : before) {
    auto it = after.find(rel);
    ASSERT_NE(it, after.end()) << rel << " disappeared";
    if (it->second != bytes) {
      EXPECT_TRUE(MayChange(rel)) << rel << " must not change";
    }
  }
  for (const auto& [rel, bytes] : after) {
    if (!before.count(rel)) {
      EXPECT_TRUE(MayChange(rel)) << rel << " must not appear";
    }
  }

  // The package copy replaces what it brings (keeping the file's name), leaves the rest.
  EXPECT_EQ(box.read(u17 + "\\mine.txt"), "the user's own file");
  EXPECT_EQ(box.read(u17 + "\\LEITOR.JSS"), "package source");
  EXPECT_EQ(box.read(u17 + "\\sub\\notas.txt"), "nested file");
  EXPECT_FALSE(box.isFolder(u17 + "\\pastascripts"));

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

  const std::string cn17 = box.shared("17.0", "ENU") + "\\confignames.ini";
  EXPECT_EQ(box.iniValue(cn17, "ConfigNames", "notepad"), "bloco");
  EXPECT_EQ(box.iniValue(cn17, "ConfigNames", "wordpad"), "wordpad");
  EXPECT_EQ(box.iniValue(box.shared("16.0", "Ptb") + "\\confignames.ini", "ConfigNames", "notepad"),
            "bloco");
}

TEST(SandboxInstall, SecondInstallChangesNothing) {
  Sandbox box;
  box.populate({"ENU", "PTB"});
  ASSERT_TRUE(box.run().ok());
  const auto first = box.snapshot();
  box.rec.log.clear();
  ASSERT_TRUE(box.run().ok());
  EXPECT_EQ(box.snapshot(), first);
  EXPECT_TRUE(box.rec.lines("copyFile ").empty());
}

TEST(SandboxInstall, MissingPackageFolderFailsBeforeWritingAnything) {
  Sandbox box;
  box.populate({"ENU", "PTB"});
  box.remove(box.package());
  const auto before = box.snapshot();
  const Status st = box.run();
  ASSERT_FALSE(st.ok());
  EXPECT_FALSE(st.path().empty());
  EXPECT_FALSE(st.reason().empty());
  EXPECT_EQ(box.rec.lines("copyFolder ").size(), 1u);
  EXPECT_EQ(box.snapshot(), before);
}

#ifndef _WIN32
// A package folder that holds a link to itself must neither hang the install nor exhaust the
// stack. The install runs in a child process so a hang is caught as one, not as a stuck test.
TEST(SandboxInstall, LinkCycleInPackageEnds) {
  Sandbox box;
  box.populate({"ENU"});
  std::filesystem::create_directory_symlink("..",
                                            box.native(box.exe() + "\\pastascripts\\sub\\loop"));

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const Status st = box.run();
    // Whatever the back end decides, the result must carry a path and a reason when it fails.
    _exit(st.ok() || (!st.path().empty() && !st.reason().empty()) ? 0 : 3);
  }
  int status = 0;
  pid_t done = 0;
  for (int waited = 0; waited < 600 && done == 0; ++waited) {
    done = waitpid(child, &status, WNOHANG);
    if (done == 0) usleep(100 * 1000);
  }
  if (done == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    FAIL() << "the install did not end within 60 s";
  }
  ASSERT_TRUE(WIFEXITED(status)) << "the install crashed (signal " << WTERMSIG(status) << ")";
  EXPECT_EQ(WEXITSTATUS(status), 0);

  // However far it went, the copy is bounded and no temporary file is left.
  for (const auto& [rel, bytes] : box.snapshot()) {
    EXPECT_LT(std::count(rel.begin(), rel.end(), '/'), 16) << rel;
    EXPECT_EQ(rel.find(".instalador-tmp-"), std::string::npos) << rel;
  }
}
#endif

}  // namespace
}  // namespace inst::testing
