#include "platform/posix/posix_file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/file_system/file_system_test.h"

namespace inst::testing {

std::unique_ptr<FileSystem> newFileSystem() {
  return std::make_unique<PosixFileSystem>();
}

::testing::Matcher<const std::string&> reasonFor(Fault fault) {
  switch (fault) {
    case Fault::kMissing:
    case Fault::kMissingOnTheWay:
      return std::strerror(ENOENT);
    case Fault::kNotAFolder:
    case Fault::kListedAFile:
      return std::strerror(ENOTDIR);
    case Fault::kAFolder:
      return std::strerror(EISDIR);
    case Fault::kExists:
      return std::strerror(EEXIST);
  }
  return "no such fault";
}

namespace {

// What only POSIX has: modes, permissions, links, pipes and names that begin with a dot.
class PosixFileSystemTest : public FileSystemTest {
 protected:
  mode_t mode(const std::string& relative) const {
    struct stat st;
    return stat(at(relative).c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }
  static bool root() { return geteuid() == 0; }
};

TEST_F(PosixFileSystemTest, TellsFilesFromFoldersLikeWindows) {
  write("Info/leia.txt", "x");
  write("Info/.hidden.txt", "x");
  write("Info/*.txt", "x");
  ASSERT_EQ(symlink("leia.txt", at("Info/link.txt").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", at("Info/dangling.txt").c_str()), 0);
  ASSERT_EQ(mkfifo(at("Info/pipe").c_str(), 0600), 0);
  expectKinds({
      {win("Info\\.hidden.txt"), true, false, false},  // hidden: not a normal file
      {win("Info\\*.txt"), true, false, false},        // never a normal file's name
      {win("Info\\link.txt"), true, true, false},
      {win("Info\\dangling.txt"), false, false, false},
      {win("Info\\pipe"), false, false, false},  // not a file to Windows
  });
}

TEST_F(PosixFileSystemTest, ListsHiddenAndLinkedSubfolders) {
  folder("Jaws/.hidden");
  folder("Jaws/17.0");
  folder("elsewhere/16.0");
  ASSERT_EQ(symlink(at("elsewhere/16.0").c_str(), at("Jaws/16.0").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", at("Jaws/18.0").c_str()), 0);
  std::vector<SubFolder> out;
  ASSERT_TRUE(files.subFolders(win("jaws\\"), out));
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].name, ".hidden");
  EXPECT_EQ(out[1].name, "16.0");
  EXPECT_EQ(out[1].path, win("jaws\\16.0"));
  EXPECT_TRUE(files.folderExists(out[1].path));
  EXPECT_EQ(out[2].name, "17.0");
}

TEST_F(PosixFileSystemTest, ListingAFolderItMayNotReadFails) {
  if (root()) GTEST_SKIP() << "root reads every folder";
  folder("locked/17.0");
  chmod(at("locked").c_str(), 0);
  std::vector<SubFolder> out;
  expectFailure(files.subFolders(win("locked"), out), win("locked"), std::strerror(EACCES));
  EXPECT_TRUE(out.empty());
}

TEST_F(PosixFileSystemTest, CopyFolderKeepsModesOfReplacedFiles) {
  write("pkg/script.jsb", "new");
  write("pkg/readonly.jsb", "new");
  chmod(at("pkg/readonly.jsb").c_str(), 0444);
  write("dst/script.jsb", "old");
  chmod(at("dst/script.jsb").c_str(), 0640);
  ASSERT_TRUE(files.copyFolder(win("pkg"), win("dst")));
  EXPECT_EQ(read("dst/script.jsb"), "new");
  EXPECT_EQ(mode("dst/script.jsb"), 0640u);
  // A read-only source does not make a file that the next install could not replace.
  EXPECT_TRUE(mode("dst/readonly.jsb") & S_IWUSR);
}

TEST_F(PosixFileSystemTest, CopyFolderFollowsLinksButStopsAtACycle) {
  write("pkg/a.jsb", "a");
  write("shared/common.jsb", "through a link");
  ASSERT_EQ(symlink(at("shared").c_str(), at("pkg/linked").c_str()), 0);
  ASSERT_EQ(symlink(at("shared/common.jsb").c_str(), at("pkg/file-link.jsb").c_str()), 0);
  ASSERT_TRUE(files.copyFolder(win("pkg"), win("dst")));
  EXPECT_EQ(read("dst/linked/common.jsb"), "through a link");
  EXPECT_EQ(read("dst/file-link.jsb"), "through a link");
  struct stat st;
  ASSERT_EQ(lstat(at("dst/linked").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));  // a real folder, not a copy of the link

  folder("loop/inner");
  write("loop/inner/x.jsb", "x");
  ASSERT_EQ(symlink("..", at("loop/inner/up").c_str()), 0);
  expectFailure(files.copyFolder(win("loop"), win("out")), win("loop\\inner\\up"),
                std::strerror(ELOOP));

  folder("broken/real");
  ASSERT_EQ(symlink("nowhere", at("broken/dangling.jsb").c_str()), 0);
  expectFailure(files.copyFolder(win("broken"), win("dst3")), win("broken\\dangling.jsb"),
                std::strerror(ENOENT));
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(PosixFileSystemTest, CopyFolderReportsWhatPermissionsForbid) {
  if (root()) GTEST_SKIP() << "root is not held back by permissions";
  write("pkg/a.jsb", "a");
  write("pkg/secret.jsb", "s");
  chmod(at("pkg/secret.jsb").c_str(), 0);
  write("readonly/a.jsb", "old");
  chmod(at("readonly").c_str(), 0555);

  expectFailure(files.copyFolder(win("pkg"), win("readonly")), win("readonly\\a.jsb"),
                std::strerror(EACCES));
  EXPECT_EQ(read("readonly/a.jsb"), "old");
  expectFailure(files.copyFolder(win("pkg"), win("writable")), win("pkg\\secret.jsb"),
                std::strerror(EACCES));
}

// Every walk holds two folders open per level; whichever way it ends, none may stay open.
TEST_F(PosixFileSystemTest, CopyFolderClosesEveryFolderItOpens) {
  auto openDescriptors = [] {
    // The listing's own descriptor is counted too, the same each time.
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return std::distance(begin(fds), end(fds));
  };
  write("pkg/a.jsb", "a");
  write("pkg/sub/deeper/b.jsb", "b");
  write("pkg/z/c.jsb", "c");
  write("clash/sub/deeper", "a file where the package has a folder, two levels down");
  folder("loop/inner/more");
  ASSERT_EQ(symlink("../..", at("loop/inner/more/up").c_str()), 0);
  write("file", "x");
  struct Case {
    std::string source, destination;
    bool ok;
  };
  const Case cases[] = {
      {win("pkg"), win("dst"), true},
      {win("pkg"), win("dst"), true},  // again, over what the first copy made
      {win("pkg"), win("pkg\\sub"), true},
      {win("pkg"), win("clash"), false},
      {win("loop"), win("out"), false},
      {win("pkg"), win("file"), false},
      {win("missing"), win("dst"), false},
  };
  const auto before = openDescriptors();
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<bool>(files.copyFolder(c.source, c.destination)), c.ok)
        << c.source << " -> " << c.destination;
    EXPECT_EQ(openDescriptors(), before) << c.source << " -> " << c.destination;
  }
  EXPECT_EQ(read("dst/sub/deeper/b.jsb"), "b");
}

// Only what a copy needs is asked of each folder: listing a source folder needs no search
// permission when it is empty, and a folder a single file is written into need not be listable.
TEST_F(PosixFileSystemTest, CopiesAskNoMorePermissionThanTheyNeed) {
  if (root()) GTEST_SKIP() << "root is not held back by permissions";
  write("pkg/a.jsb", "a");
  folder("pkg/empty");
  chmod(at("pkg/empty").c_str(), 0444);  // listable, not searchable
  ASSERT_TRUE(files.copyFolder(win("pkg"), win("dst")));
  EXPECT_TRUE(files.folderExists(win("dst\\empty")));

  write("dropbox/.instalador-tmp-old", "a leftover it cannot see");
  chmod(at("dropbox").c_str(), 0300);
  EXPECT_TRUE(files.copyFile(win("pkg\\a.jsb"), win("dropbox\\a.jsb")));
  chmod(at("dropbox").c_str(), 0700);
  EXPECT_EQ(read("dropbox/a.jsb"), "a");
}

TEST_F(PosixFileSystemTest, ReadFileDoesNotWaitForAPipesWriter) {
  ASSERT_EQ(mkfifo(at("pipe").c_str(), 0600), 0);
  std::string got;
  EXPECT_FALSE(files.readFile(win("pipe"), got));
}

}  // namespace
}  // namespace inst::testing
