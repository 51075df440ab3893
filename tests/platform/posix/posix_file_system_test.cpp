#include "platform/posix/posix_file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "platform/posix/sandbox.h"

namespace inst {
namespace {

using ::testing::ElementsAre;

class PosixFileSystemTest : public inst::testing::Sandbox {
 protected:
  // A Windows-style path into the sandbox, as the core builds them.
  std::string win(const std::string& relative) const { return root_ + "\\" + relative; }
  mode_t mode(const std::string& relative) const {
    struct stat st;
    return stat(at(relative).c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }
  PosixFileSystem fs;
};

TEST_F(PosixFileSystemTest, TellsFilesFromFoldersLikeWindows) {
  write("Info/leia.txt", "x");
  write("Info/.hidden.txt", "x");
  write("Info/*.txt", "x");
  folder("Info/pasta");
  ASSERT_EQ(symlink("leia.txt", at("Info/link.txt").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", at("Info/dangling.txt").c_str()), 0);
  ASSERT_EQ(mkfifo(at("Info/pipe").c_str(), 0600), 0);
  struct Case {
    std::string path;
    bool file, normal, folder;
  };
  const Case cases[] = {
      {win("Info\\leia.txt"), true, true, false},
      {win("INFO\\LEIA.TXT"), true, true, false},
      {win("Info/leia.txt"), true, true, false},
      {win("Info\\.hidden.txt"), true, false, false},  // hidden: not a normal file
      {win("Info\\*.txt"), true, false, false},        // never a normal file's name
      {win("Info\\link.txt"), true, true, false},
      {win("Info\\dangling.txt"), false, false, false},
      {win("Info\\pipe"), false, false, false},  // not a file to Windows
      {win("Info\\pasta"), false, false, true},
      {win("Info\\"), false, false, true},
      {win("Info\\missing.txt"), false, false, false},
      {win("Info\\leia.txt\\x"), false, false, false},
      {"", false, false, false},  // names nothing, not the current folder
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fs.fileExists(c.path), c.file) << c.path;
    EXPECT_EQ(fs.normalFileExists(c.path), c.normal) << c.path;
    EXPECT_EQ(fs.folderExists(c.path), c.folder) << c.path;
  }
}

TEST_F(PosixFileSystemTest, ListsSubfoldersInNtfsOrderWithTheirFullPaths) {
  for (const char* name : {"9.0", "17.0", "settings", "Beta", "alpha", "_x", ".hidden"})
    folder(std::string("Jaws/") + name);
  write("Jaws/15.0", "a file among the folders");
  write("Jaws/readme.txt", "x");
  folder("elsewhere/16.0");
  ASSERT_EQ(symlink(at("elsewhere/16.0").c_str(), at("Jaws/16.0").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", at("Jaws/18.0").c_str()), 0);

  std::vector<SubFolder> out;
  ASSERT_TRUE(fs.subFolders(win("jaws\\"), out));
  std::vector<std::string> names, paths;
  for (const SubFolder& f : out) {
    names.push_back(f.name);
    paths.push_back(f.path);
  }
  EXPECT_THAT(names,
              ElementsAre(".hidden", "16.0", "17.0", "9.0", "alpha", "Beta", "settings", "_x"));
  EXPECT_EQ(paths[1], win("jaws\\16.0"));
  // The listed path names the folder for every later operation.
  EXPECT_TRUE(fs.folderExists(paths[1]));
}

TEST_F(PosixFileSystemTest, ListingFailuresNameTheFolderAndTheReason) {
  write("file", "x");
  folder("locked/17.0");
  chmod(at("locked").c_str(), 0);
  struct Case {
    std::string path;
    int error;
    bool needsUnprivileged;
  };
  const Case cases[] = {
      {win("missing"), ENOENT, false},
      {win("file"), ENOTDIR, false},
      {win("locked"), EACCES, true},
  };
  for (const Case& c : cases) {
    if (c.needsUnprivileged && root()) continue;  // root reads every folder
    std::vector<SubFolder> out;
    Status s = fs.subFolders(c.path, out);
    EXPECT_FALSE(s) << c.path;
    EXPECT_EQ(s.path(), c.path);
    EXPECT_EQ(s.reason(), std::strerror(c.error)) << c.path;
    EXPECT_TRUE(out.empty());
  }
  std::vector<SubFolder> out;
  EXPECT_FALSE(fs.subFolders("", out));
}

TEST_F(PosixFileSystemTest, CopyFolderMergesIntoTheDestinationIgnoringCase) {
  write("pastascripts/notepad.jsb", "new notepad");
  write("pastascripts/RedidUzizu.jsb", "package");
  write("pastascripts/Sub/Deeper/a.jss", "deep");
  write("pastascripts/.hidden", "copied too");
  write("PTB/NOTEPAD.JSB", "user's notepad");
  write("PTB/SUB/keep.txt", "user's file in a matching folder");
  write("PTB/mine.jkm", "user's file the package lacks");

  ASSERT_TRUE(fs.copyFolder(win("pastascripts"), win("ptb")));
  EXPECT_THAT(names("PTB"),
              ElementsAre(".hidden", "NOTEPAD.JSB", "RedidUzizu.jsb", "SUB", "mine.jkm"));
  EXPECT_EQ(read("PTB/NOTEPAD.JSB"), "new notepad");
  EXPECT_EQ(read("PTB/RedidUzizu.jsb"), "package");
  EXPECT_THAT(names("PTB/SUB"), ElementsAre("Deeper", "keep.txt"));
  EXPECT_EQ(read("PTB/SUB/Deeper/a.jss"), "deep");
  EXPECT_EQ(read("PTB/mine.jkm"), "user's file the package lacks");
  EXPECT_TRUE(leftovers().empty());

  // A second install replaces again and leaves the same names.
  write("pastascripts/notepad.jsb", "newer");
  ASSERT_TRUE(fs.copyFolder(win("pastascripts"), win("PTB")));
  EXPECT_EQ(read("PTB/NOTEPAD.JSB"), "newer");
  EXPECT_EQ(names("PTB").size(), 5u);
}

TEST_F(PosixFileSystemTest, CopyFolderCreatesAMissingDestinationButNotItsParents) {
  write("pkg/a.jsb", "a");
  ASSERT_TRUE(fs.copyFolder(win("pkg"), win("new")));
  EXPECT_EQ(read("new/a.jsb"), "a");

  Status s = fs.copyFolder(win("pkg"), win("no\\such\\folder"));
  EXPECT_FALSE(s);
  EXPECT_EQ(s.path(), win("no\\such\\folder"));
  EXPECT_EQ(s.reason(), std::strerror(ENOENT));
  EXPECT_FALSE(fs.folderExists(win("no")));
}

TEST_F(PosixFileSystemTest, CopyFolderKeepsModesOfReplacedFiles) {
  write("pkg/script.jsb", "new");
  write("pkg/readonly.jsb", "new");
  chmod(at("pkg/readonly.jsb").c_str(), 0444);
  write("dst/script.jsb", "old");
  chmod(at("dst/script.jsb").c_str(), 0640);
  ASSERT_TRUE(fs.copyFolder(win("pkg"), win("dst")));
  EXPECT_EQ(read("dst/script.jsb"), "new");
  EXPECT_EQ(mode("dst/script.jsb"), 0640u);
  // A read-only source does not make a file that the next install could not replace.
  EXPECT_TRUE(mode("dst/readonly.jsb") & S_IWUSR);
}

TEST_F(PosixFileSystemTest, CopyFolderRemovesLeftoverTemporaryFiles) {
  write("pkg/a.jsb", "a");
  write("pkg/sub/b.jsb", "b");
  write("pkg/.instalador-tmp-inPackage", "never copied");
  write("dst/.instalador-tmp-AbC123", "torn");
  write("dst/sub/.instalador-tmp-XyZ789", "torn");
  write("dst/untouched/.instalador-tmp-old", "outside the copy");
  ASSERT_TRUE(fs.copyFolder(win("pkg"), win("dst")));
  EXPECT_THAT(names("dst"), ElementsAre("a.jsb", "sub", "untouched"));
  EXPECT_THAT(names("dst/sub"), ElementsAre("b.jsb"));
  EXPECT_EQ(leftovers().size(), 2u);  // the package's and the one in a folder the copy never saw
}

TEST_F(PosixFileSystemTest, CopyFolderCopiesFilesLargerThanAnyBuffer) {
  std::string big(5 * 1024 * 1024 + 3, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7919 >> 3);
  write("pkg/big.jsb", big);
  write("dst/BIG.JSB", "small");
  ASSERT_TRUE(fs.copyFolder(win("pkg"), win("dst")));
  EXPECT_TRUE(read("dst/BIG.JSB") == big);
}

TEST_F(PosixFileSystemTest, CopyFolderFollowsLinksButStopsAtACycle) {
  write("pkg/a.jsb", "a");
  write("shared/common.jsb", "through a link");
  ASSERT_EQ(symlink(at("shared").c_str(), at("pkg/linked").c_str()), 0);
  ASSERT_EQ(symlink(at("shared/common.jsb").c_str(), at("pkg/file-link.jsb").c_str()), 0);
  ASSERT_TRUE(fs.copyFolder(win("pkg"), win("dst")));
  EXPECT_EQ(read("dst/linked/common.jsb"), "through a link");
  EXPECT_EQ(read("dst/file-link.jsb"), "through a link");
  struct stat st;
  ASSERT_EQ(lstat(at("dst/linked").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));  // a real folder, not a copy of the link

  folder("loop/inner");
  write("loop/inner/x.jsb", "x");
  ASSERT_EQ(symlink("..", at("loop/inner/up").c_str()), 0);
  Status s = fs.copyFolder(win("loop"), win("out"));
  EXPECT_FALSE(s);
  EXPECT_EQ(s.path(), win("loop\\inner\\up"));
  EXPECT_EQ(s.reason(), std::strerror(ELOOP));
}

TEST_F(PosixFileSystemTest, CopyFolderIntoItselfOrItsOwnSubfolderEnds) {
  write("pkg/a.jsb", "a");
  write("pkg/sub/b.jsb", "b");
  EXPECT_TRUE(fs.copyFolder(win("pkg"), win("PKG")));
  EXPECT_EQ(read("pkg/a.jsb"), "a");
  ASSERT_TRUE(fs.copyFolder(win("pkg"), win("pkg\\sub")));
  EXPECT_EQ(read("pkg/sub/a.jsb"), "a");
  EXPECT_EQ(read("pkg/sub/b.jsb"), "b");
  EXPECT_FALSE(fs.folderExists(win("pkg\\sub\\sub")));
}

TEST_F(PosixFileSystemTest, CopyFolderStopsAtTheFirstFailureAndNamesIt) {
  write("pkg/a.jsb", "a");
  write("pkg/sub/b.jsb", "b");
  write("pkg/z.jsb", "z");
  write("file", "x");
  write("clash/SUB", "a file where the package has a folder");
  write("dir-clash/pkg/a.jsb/inside", "a folder where the package has a file");
  folder("broken/real");
  ASSERT_EQ(symlink("nowhere", at("broken/dangling.jsb").c_str()), 0);

  struct Case {
    std::string source, destination, path;
    int error;
  };
  const Case cases[] = {
      {win("missing"), win("dst1"), win("missing"), ENOENT},
      {win("file"), win("dst2"), win("file"), ENOTDIR},
      {win("pkg\\"), win("file"), win("file"), ENOTDIR},
      {win("pkg"), win("clash"), win("clash\\SUB"), EEXIST},
      {win("pkg"), win("dir-clash\\pkg"), win("dir-clash\\pkg\\a.jsb"), EISDIR},
      {win("broken"), win("dst3"), win("broken\\dangling.jsb"), ENOENT},
  };
  for (const Case& c : cases) {
    Status s = fs.copyFolder(c.source, c.destination);
    EXPECT_FALSE(s) << c.source << " -> " << c.destination;
    EXPECT_EQ(s.path(), c.path);
    EXPECT_EQ(s.reason(), std::strerror(c.error)) << c.path;
  }
  // Nothing after the failure was done: z.jsb comes after SUB in NTFS order.
  EXPECT_FALSE(fs.fileExists(win("clash\\z.jsb")));
  EXPECT_TRUE(fs.fileExists(win("clash\\a.jsb")));
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(PosixFileSystemTest, CopyFolderReportsWhatPermissionsForbid) {
  if (root()) GTEST_SKIP() << "root is not held back by permissions";
  write("pkg/a.jsb", "a");
  write("pkg/secret.jsb", "s");
  chmod(at("pkg/secret.jsb").c_str(), 0);
  write("readonly/a.jsb", "old");
  chmod(at("readonly").c_str(), 0555);

  Status s = fs.copyFolder(win("pkg"), win("readonly"));
  EXPECT_FALSE(s);
  EXPECT_EQ(s.path(), win("readonly\\a.jsb"));
  EXPECT_EQ(s.reason(), std::strerror(EACCES));
  EXPECT_EQ(read("readonly/a.jsb"), "old");

  s = fs.copyFolder(win("pkg"), win("writable"));
  EXPECT_FALSE(s);
  EXPECT_EQ(s.path(), win("pkg\\secret.jsb"));
  EXPECT_EQ(s.reason(), std::strerror(EACCES));
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
    EXPECT_EQ(static_cast<bool>(fs.copyFolder(c.source, c.destination)), c.ok)
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
  ASSERT_TRUE(fs.copyFolder(win("pkg"), win("dst")));
  EXPECT_TRUE(fs.folderExists(win("dst\\empty")));

  write("dropbox/.instalador-tmp-old", "a leftover it cannot see");
  chmod(at("dropbox").c_str(), 0300);
  EXPECT_TRUE(fs.copyFile(win("pkg\\a.jsb"), win("dropbox\\a.jsb")));
  chmod(at("dropbox").c_str(), 0700);
  EXPECT_EQ(read("dropbox/a.jsb"), "a");
}

TEST_F(PosixFileSystemTest, CopyFileReplacesUnderTheExistingName) {
  write("Extras/extra1.ext", "package default");
  write("U/default.jsb", "old");
  write("U/.instalador-tmp-left", "torn");
  ASSERT_TRUE(fs.copyFile(win("extras\\EXTRA1.EXT"), win("u\\Default.jsb")));
  EXPECT_THAT(names("U"), ElementsAre("default.jsb"));
  EXPECT_EQ(read("U/default.jsb"), "package default");

  ASSERT_TRUE(fs.copyFile(win("Extras\\extra1.ext"), win("U\\default_fs.jsd")));
  EXPECT_THAT(names("U"), ElementsAre("default.jsb", "default_fs.jsd"));
}

TEST_F(PosixFileSystemTest, CopyFileFailures) {
  write("a.jsb", "a");
  folder("dir");
  struct Case {
    std::string source, destination, path;
    int error;
  };
  const Case cases[] = {
      {win("missing.jsb"), win("b.jsb"), win("missing.jsb"), ENOENT},
      {win("dir"), win("b.jsb"), win("dir"), EISDIR},
      {win("a.jsb"), win("DIR"), win("DIR"), EISDIR},
      {win("a.jsb"), win("no\\b.jsb"), win("no\\b.jsb"), ENOENT},
      {"", win("b.jsb"), "", ENOENT},
      {win("a.jsb"), "", "", ENOENT},
  };
  for (const Case& c : cases) {
    Status s = fs.copyFile(c.source, c.destination);
    EXPECT_FALSE(s) << c.source << " -> " << c.destination;
    EXPECT_EQ(s.path(), c.path);
    EXPECT_EQ(s.reason(), std::strerror(c.error)) << c.source << " -> " << c.destination;
  }
  EXPECT_FALSE(fs.fileExists(win("b.jsb")));
}

TEST_F(PosixFileSystemTest, ReadFileGivesTheBytesOrTheReason) {
  std::string bytes("a\0b\r\n\xFF", 6);
  write("Info/leia.txt", bytes);
  folder("dir");
  std::string got = "stale";
  ASSERT_TRUE(fs.readFile(win("info\\LEIA.txt"), got));
  EXPECT_EQ(got, bytes);
  write("empty", "");
  ASSERT_TRUE(fs.readFile(win("empty"), got));
  EXPECT_EQ(got, "");

  Status s = fs.readFile(win("missing"), got);
  EXPECT_FALSE(s);
  EXPECT_EQ(s.path(), win("missing"));
  EXPECT_EQ(s.reason(), std::strerror(ENOENT));
  s = fs.readFile(win("dir"), got);
  EXPECT_EQ(s.reason(), std::strerror(EISDIR));
  ASSERT_EQ(mkfifo(at("pipe").c_str(), 0600), 0);
  EXPECT_FALSE(fs.readFile(win("pipe"), got));  // and does not wait for a writer
}

}  // namespace
}  // namespace inst
