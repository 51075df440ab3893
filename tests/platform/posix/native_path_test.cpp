#include "platform/posix/native_path.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "support/folder_sandbox.h"

namespace inst::posix {
namespace {

using NativePath = inst::testing::FolderSandbox;

TEST(NtfsOrder, ComparesUpperCasedNamesOrdinally) {
  struct Case {
    const char* a;
    const char* b;
    bool less;
  };
  const Case cases[] = {
      {"17.0", "9.0", true},     // text, not numbers
      {"abc", "ABD", true},      // case does not matter...
      {"ABC", "abc", true},      // ...except to keep names equal but for case apart
      {"zeta", "_under", true},  // "_" lies between the upper- and lower-case letters
      {"Settings", "settings", true},
      {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", false},  // é upper-cases to É
      {"\xC3\x89t\xC3\xA9", "z", false},                  // beyond ASCII sorts after it
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ntfsLess(c.a, c.b), c.less) << c.a << " < " << c.b;
    EXPECT_FALSE(ntfsLess(c.a, c.a)) << c.a;
  }
  EXPECT_TRUE(sameName("Pt\xC3\xA7", "PT\xC3\x87"));
  EXPECT_FALSE(sameName("ENU", "ENU1"));
  // A lone lead byte at the end must not be read past.
  EXPECT_EQ(upperName("a\xC3"), "A\xC3");
}

TEST_F(NativePath, ResolvesEveryComponentIgnoringCase) {
  folder("Freedom Scientific/JAWS/17.0/Settings/PTB");
  write("Freedom Scientific/JAWS/17.0/Settings/PTB/NOTEPAD.JSB", "x");
  folder("twice/abc");
  folder("twice/ABC");
  struct Case {
    std::string windows;
    std::string native;
  };
  const Case cases[] = {
      {"\\freedom scientific\\jaws\\17.0\\settings\\ptb",
       "/Freedom Scientific/JAWS/17.0/Settings/PTB"},
      {"/FREEDOM SCIENTIFIC/Jaws\\17.0/settings\\Ptb\\notepad.jsb",
       "/Freedom Scientific/JAWS/17.0/Settings/PTB/NOTEPAD.JSB"},
      {"\\freedom scientific\\jaws\\\\17.0\\settings\\", "/Freedom Scientific/JAWS/17.0/Settings"},
      // From the first missing component on, the rest is kept as written.
      {"\\freedom scientific\\Missing\\Settings", "/Freedom Scientific/Missing/Settings"},
      {"\\Freedom Scientific\\JAWS\\17.0\\Settings\\PTB\\New.jsb",
       "/Freedom Scientific/JAWS/17.0/Settings/PTB/New.jsb"},
      // An exact match wins; otherwise the first in NTFS order.
      {"\\twice\\abc", "/twice/abc"},
      {"\\twice\\Abc", "/twice/ABC"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(resolvePath(root_ + c.windows), root_ + c.native) << c.windows;
}

TEST_F(NativePath, ReplaceFileKeepsModeAndLeavesNoTemporaryFile) {
  write("a.ini", "old");
  chmod(at("a.ini").c_str(), 0640);
  ASSERT_TRUE(replaceFile(at("a.ini"), "new", "C:\\a.ini"));
  EXPECT_EQ(read("a.ini"), "new");
  struct stat st;
  ASSERT_EQ(stat(at("a.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_TRUE(leftovers().empty());

  Status s = replaceFile(at("missing/a.ini"), "x", "C:\\missing\\a.ini");
  EXPECT_FALSE(s);
  EXPECT_EQ(s.path(), "C:\\missing\\a.ini");
  EXPECT_EQ(s.reason(), std::strerror(ENOENT));
}

TEST_F(NativePath, ReplacingAFolderFailsAndRemovesTheTemporaryFile) {
  folder("taken");
  Status s = replaceFile(at("taken"), "x", "C:\\taken");
  EXPECT_FALSE(s);
  EXPECT_EQ(s.path(), "C:\\taken");
  EXPECT_TRUE(leftovers().empty());
}

// Each method, forced, on data larger than any chunk or buffer the copy uses and of an odd size.
TEST_F(NativePath, EveryCopyMethodCopiesLargeFilesWhole) {
  std::string big(3 * 1024 * 1024 + 12345, '\0');
  std::mt19937 random(7);
  for (char& c : big) c = static_cast<char>(random());
  write("big.bin", big);
  const std::pair<CopyMethod, const char*> methods[] = {
      {CopyMethod::CopyFileRange, "copy_file_range"},
      {CopyMethod::SendFile, "sendfile"},
      {CopyMethod::ReadWrite, "read/write"},
  };
  for (auto [method, name] : methods) {
    int in = open(at("big.bin").c_str(), O_RDONLY);
    int out = open(at("copy.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(in, 0);
    ASSERT_GE(out, 0);
    EXPECT_EQ(copyBytes(in, out, method), 0) << name;
    close(in);
    close(out);
    EXPECT_TRUE(read("copy.bin") == big) << name;
  }
}

// A pipe can do neither copy_file_range nor (on older kernels) sendfile: the copy must fall back.
TEST_F(NativePath, CopyFallsBackWhenTheKernelCannotDoIt) {
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const std::string text = "scripts through a pipe";
  ASSERT_EQ(::write(pipeFds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(pipeFds[1]);
  int out = open(at("piped").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(out, 0);
  EXPECT_EQ(copyBytes(pipeFds[0], out), 0);
  close(pipeFds[0]);
  close(out);
  EXPECT_EQ(read("piped"), text);
}

TEST_F(NativePath, CopyReportsARealFailure) {
  write("a", "data");
  int in = open(at("a").c_str(), O_RDONLY);
  int readOnly = open(at("a").c_str(), O_RDONLY);
  EXPECT_EQ(copyBytes(in, readOnly), EBADF);
  close(in);
  close(readOnly);
}

}  // namespace
}  // namespace inst::posix
