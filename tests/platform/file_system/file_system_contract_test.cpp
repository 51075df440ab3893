// What every file-system back end promises the installer, run against each of them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/file_system/file_system_test.h"
#include "platform/lock.h"

namespace inst::testing {
namespace {

using ::testing::ElementsAre;

TEST_F(FileSystemTest, TellsFilesFromFoldersIgnoringCase) {
  write("Info/leia.txt", "x");
  folder("Info/pasta");
  expectKinds({
      {win("Info\\leia.txt"), true, true, false},
      {win("INFO\\LEIA.TXT"), true, true, false},
      {win("Info/leia.txt"), true, true, false},
      {win("Info\\pasta"), false, false, true},
      {win("Info\\"), false, false, true},
      {win("Info\\missing.txt"), false, false, false},
      {win("Info\\leia.txt\\x"), false, false, false},
      {"", false, false, false},  // names nothing, not the current folder
  });
}

TEST_F(FileSystemTest, ListsSubfoldersInNtfsOrderWithTheirFullPaths) {
  for (const char* name : {"9.0", "17.0", "settings", "Beta", "alpha", "_x", "16.0"})
    folder(std::string("Jaws/") + name);
  write("Jaws/15.0", "a file among the folders");
  write("Jaws/readme.txt", "x");

  std::vector<SubFolder> out;
  ASSERT_TRUE(files.subFolders(win("jaws\\"), out));
  std::vector<std::string> names;
  for (const SubFolder& f : out) {
    names.push_back(f.name);
    EXPECT_EQ(f.path, win("jaws\\" + f.name));
    // The listed path names the folder for every later operation.
    EXPECT_TRUE(files.folderExists(f.path)) << f.path;
  }
  EXPECT_THAT(names, ElementsAre("16.0", "17.0", "9.0", "alpha", "Beta", "settings", "_x"));
}

TEST_F(FileSystemTest, ListingFailuresNameTheFolderAndTheReason) {
  write("file", "x");
  struct Case {
    std::string path;
    Fault fault;
  };
  const Case cases[] = {
      {win("missing"), Fault::kMissingOnTheWay},
      {win("file"), Fault::kListedAFile},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::vector<SubFolder> out{{"stale", "stale"}};
    expectFailure(files.subFolders(c.path, out), c.path, reasonFor(c.fault));
    EXPECT_TRUE(out.empty());
  }
  std::vector<SubFolder> out;
  EXPECT_FALSE(files.subFolders("", out));
}

TEST_F(FileSystemTest, CopyFolderMergesIntoTheDestinationIgnoringCase) {
  write("pastascripts/notepad.jsb", "new notepad");
  write("pastascripts/RedidUzizu.jsb", "package");
  write("pastascripts/Sub/Deeper/a.jss", "deep");
  write("pastascripts/.hidden", "copied too");
  write("PTB/NOTEPAD.JSB", "user's notepad");
  write("PTB/SUB/keep.txt", "user's file in a matching folder");
  write("PTB/mine.jkm", "user's file the package lacks");

  ASSERT_TRUE(files.copyFolder(win("pastascripts"), win("ptb")));
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
  ASSERT_TRUE(files.copyFolder(win("pastascripts"), win("PTB")));
  EXPECT_EQ(read("PTB/NOTEPAD.JSB"), "newer");
  EXPECT_EQ(names("PTB").size(), 5u);
}

struct Watched final : CopyWatcher {
  std::vector<std::string> lines;
  void fileCopied(const std::string& from, const std::string& to, const Status& r) override {
    lines.push_back(from + " -> " + to + (r ? "" : " failed: " + r.reason()));
  }
};

// Every file and folder below the sandbox with its bytes, to tell that nothing changed.
std::vector<std::string> Tree(const fs::path& root) {
  std::vector<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::string line = textOf(e.path());
    if (e.is_regular_file()) {
      std::ifstream in(e.path(), std::ios::binary);
      const std::string bytes{std::istreambuf_iterator<char>(in), {}};
      line.append("=").append(bytes);
    }
    out.push_back(line);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// A planned copy names exactly the files the copy then copies, under the names it writes, and
// touches nothing; what fails without writing fails the same way.
TEST_F(FileSystemTest, PlannedCopyReportsWhatTheCopyDoesAndWritesNothing) {
  write("pkg/notepad.jsb", "new");
  write("pkg/Sub/Deeper/a.jss", "deep");
  write("pkg/.instalador-tmp-x", "never copied");
  write("PTB/NOTEPAD.JSB", "old");
  write("PTB/.instalador-tmp-torn", "a leftover only a real copy removes");
  write("blocked/Sub", "a file where the folder must go");
  const fs::path root = at("");
  const std::vector<std::string> before = Tree(root);

  Watched planned;
  ASSERT_TRUE(files.copyFolderWatched(win("pkg"), win("ptb"), planned, true));
  Watched intoNew;
  ASSERT_TRUE(files.copyFolderWatched(win("pkg"), win("fresh"), intoNew, true));
  Watched blocked;
  expectFailure(files.copyFolderWatched(win("pkg"), win("blocked"), blocked, true),
                win("blocked\\Sub"), reasonFor(Fault::kExists));
  Watched nowhere;
  EXPECT_FALSE(files.copyFolderWatched(win("pkg"), win("no\\such"), nowhere, true));
  EXPECT_FALSE(files.copyFolderWatched(win("missing"), win("ptb"), nowhere, true));
  EXPECT_TRUE(nowhere.lines.empty());
  EXPECT_EQ(Tree(root), before);

  EXPECT_THAT(planned.lines, ElementsAre(win("pkg\\notepad.jsb") + " -> " + win("ptb\\NOTEPAD.JSB"),
                                         win("pkg\\Sub\\Deeper\\a.jss") + " -> " +
                                             win("ptb\\Sub\\Deeper\\a.jss")));
  EXPECT_THAT(
      intoNew.lines,
      ElementsAre(win("pkg\\notepad.jsb") + " -> " + win("fresh\\notepad.jsb"),
                  win("pkg\\Sub\\Deeper\\a.jss") + " -> " + win("fresh\\Sub\\Deeper\\a.jss")));
  EXPECT_EQ(blocked.lines.size(), 1u);

  Watched real;
  ASSERT_TRUE(files.copyFolderWatched(win("pkg"), win("ptb"), real, false));
  EXPECT_EQ(real.lines, planned.lines);
  EXPECT_EQ(read("PTB/NOTEPAD.JSB"), "new");
}

// A plan meets what the operation meets, naming the same file with the same reason: a dry run
// ends as the real run would. Each case is built twice, planned in one copy and done in the other.
TEST_F(FileSystemTest, APlanFailsWhereTheOperationFailsAndTheSameWay) {
  const struct {
    const char *what, *folder, *readOnly;  // made in the destination "dst" (no folder: no dst)
    bool oneFile;  // copyFile of "src" to "dst\Default.jsb", else copyFolder of "pkg" to "dst"
  } cases[] = {
      {"a folder where a file goes, deep", "SUB/a.jsb/x", "", false},
      {"a read-only file the copy replaces, deep", "", "sub/A.JSB", false},
      {"a read-only destination", "", "default.jsb", true},
      {"a folder as the destination", "DEFAULT.JSB", "", true},
      {"no destination folder", nullptr, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Status outcome[2];
    for (int real = 0; real < 2; ++real) {
      const std::string in = c.what + std::string(real ? "/real/" : "/plan/");
      write(in + "pkg/sub/a.jsb", "new");
      write(in + "src", "default script");
      if (c.folder) folder(in + "dst/" + c.folder);
      if (*c.readOnly) {
        write(in + "dst/" + c.readOnly, "old");
#ifdef _WIN32
        SetFileAttributesW(at(in + "dst/" + c.readOnly).c_str(), FILE_ATTRIBUTE_READONLY);
#else
        chmod(at(in + "dst/" + c.readOnly).c_str(), 0444);
#endif
      }
      Watched watched;
      outcome[real] =
          !c.oneFile ? files.copyFolderWatched(win(in + "pkg"), win(in + "dst"), watched, !real)
          : real     ? files.copyFile(win(in + "src"), win(in + "dst\\Default.jsb"))
                     : files.planReplace(win(in + "dst\\Default.jsb"), false);
    }
    EXPECT_FALSE(outcome[1]);
    std::string planned = outcome[0].path();
    if (const std::size_t cut = planned.find("/plan/"); cut != std::string::npos)
      planned.replace(cut, 6, "/real/");
    EXPECT_EQ(planned + ": " + outcome[0].reason(), outcome[1].path() + ": " + outcome[1].reason());
  }
}

TEST_F(FileSystemTest, CopyFolderCreatesAMissingDestinationButNotItsParents) {
  write("pkg/a.jsb", "a");
  ASSERT_TRUE(files.copyFolder(win("pkg"), win("new")));
  EXPECT_EQ(read("new/a.jsb"), "a");

  expectFailure(files.copyFolder(win("pkg"), win("no\\such\\folder")), win("no\\such\\folder"),
                reasonFor(Fault::kMissingOnTheWay));
  EXPECT_FALSE(files.folderExists(win("no")));
}

TEST_F(FileSystemTest, CopyFolderRemovesLeftoverTemporaryFiles) {
  write("pkg/a.jsb", "a");
  write("pkg/sub/b.jsb", "b");
  write("pkg/.instalador-tmp-inPackage", "never copied");
  write("dst/.instalador-tmp-AbC123", "torn");
  write("dst/sub/.instalador-tmp-XyZ789", "torn");
  write("dst/untouched/.instalador-tmp-old", "outside the copy");
  ASSERT_TRUE(files.copyFolder(win("pkg"), win("dst")));
  EXPECT_THAT(names("dst"), ElementsAre("a.jsb", "sub", "untouched"));
  EXPECT_THAT(names("dst/sub"), ElementsAre("b.jsb"));
  EXPECT_EQ(leftovers().size(), 2u);  // the package's and the one in a folder the copy never saw
}

TEST_F(FileSystemTest, CopyFolderCopiesFilesLargerThanAnyBuffer) {
  std::string big(5 * 1024 * 1024 + 3, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7919 >> 3);
  write("pkg/big.jsb", big);
  write("dst/BIG.JSB", "small");
  ASSERT_TRUE(files.copyFolder(win("pkg"), win("dst")));
  EXPECT_TRUE(read("dst/BIG.JSB") == big);  // not EXPECT_EQ: five megabytes in a message
  ASSERT_TRUE(files.copyFolder(win("pkg"), win("new")));
  EXPECT_TRUE(read("new/big.jsb") == big);
}

TEST_F(FileSystemTest, CopyFolderIntoItselfOrItsOwnSubfolderEnds) {
  write("pkg/a.jsb", "a");
  write("pkg/sub/b.jsb", "b");
  EXPECT_TRUE(files.copyFolder(win("pkg"), win("PKG")));
  EXPECT_EQ(read("pkg/a.jsb"), "a");
  ASSERT_TRUE(files.copyFolder(win("pkg"), win("pkg\\sub")));
  EXPECT_EQ(read("pkg/sub/a.jsb"), "a");
  EXPECT_EQ(read("pkg/sub/b.jsb"), "b");
  EXPECT_FALSE(files.folderExists(win("pkg\\sub\\sub")));
}

TEST_F(FileSystemTest, CopyFolderStopsAtTheFirstFailureAndNamesIt) {
  write("pkg/a.jsb", "a");
  write("pkg/sub/b.jsb", "b");
  write("pkg/z.jsb", "z");
  write("file", "x");
  write("clash/SUB", "a file where the package has a folder");
  write("dir-clash/pkg/a.jsb/inside", "a folder where the package has a file");
  struct Case {
    std::string source, destination, path;
    Fault fault;
  };
  const Case cases[] = {
      {win("missing"), win("dst1"), win("missing"), Fault::kMissing},
      {win("file"), win("dst2"), win("file"), Fault::kNotAFolder},
      {win("pkg\\"), win("file"), win("file"), Fault::kNotAFolder},
      {win("pkg"), win("clash"), win("clash\\SUB"), Fault::kExists},
      {win("pkg"), win("dir-clash\\pkg"), win("dir-clash\\pkg\\a.jsb"), Fault::kAFolder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source + " -> " + c.destination);
    expectFailure(files.copyFolder(c.source, c.destination), c.path, reasonFor(c.fault));
  }
  // Nothing after the failure was done: z.jsb comes after SUB in NTFS order.
  EXPECT_FALSE(files.fileExists(win("clash\\z.jsb")));
  EXPECT_TRUE(files.fileExists(win("clash\\a.jsb")));
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(FileSystemTest, CopyFileReplacesUnderTheExistingName) {
  write("Extras/extra1.ext", "package default");
  write("U/default.jsb", "old");
  write("U/.instalador-tmp-left", "torn");
  ASSERT_TRUE(files.copyFile(win("extras\\EXTRA1.EXT"), win("u\\Default.jsb")));
  EXPECT_THAT(names("U"), ElementsAre("default.jsb"));
  EXPECT_EQ(read("U/default.jsb"), "package default");

  ASSERT_TRUE(files.copyFile(win("Extras\\extra1.ext"), win("U\\default_fs.jsd")));
  EXPECT_THAT(names("U"), ElementsAre("default.jsb", "default_fs.jsd"));
}

TEST_F(FileSystemTest, CopyFileFailures) {
  write("a.jsb", "a");
  folder("dir");
  struct Case {
    std::string source, destination, path;
    Fault fault;
  };
  const Case cases[] = {
      {win("missing.jsb"), win("b.jsb"), win("missing.jsb"), Fault::kMissing},
      {win("dir"), win("b.jsb"), win("dir"), Fault::kAFolder},
      {win("a.jsb"), win("DIR"), win("DIR"), Fault::kAFolder},
      {win("a.jsb"), win("no\\b.jsb"), win("no\\b.jsb"), Fault::kMissingOnTheWay},
      {"", win("b.jsb"), "", Fault::kMissing},
      {win("a.jsb"), "", "", Fault::kMissingOnTheWay},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source + " -> " + c.destination);
    expectFailure(files.copyFile(c.source, c.destination), c.path, reasonFor(c.fault));
  }
  EXPECT_FALSE(files.fileExists(win("b.jsb")));
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(FileSystemTest, ReadFileGivesTheBytesOrTheReason) {
  const std::string bytes("a\0b\r\n\xFF", 6);
  write("Info/leia.txt", bytes);
  write("empty", "");
  folder("dir");
  std::string got = "stale";
  ASSERT_TRUE(files.readFile(win("info\\LEIA.txt"), got));
  EXPECT_EQ(got, bytes);
  ASSERT_TRUE(files.readFile(win("empty"), got));
  EXPECT_EQ(got, "");

  expectFailure(files.readFile(win("missing"), got), win("missing"), reasonFor(Fault::kMissing));
  expectFailure(files.readFile(win("dir"), got), win("dir"), reasonFor(Fault::kAFolder));
}

}  // namespace
}  // namespace inst::testing

namespace inst::testing {
namespace {

// A file without write permission is read-only as Windows has it: neither a copy over it nor a
// folder copy replaces it, whoever runs the program, and both back ends word it alike.
TEST_F(FileSystemTest, ReadOnlyFilesAreNotReplaced) {
  namespace fs = std::filesystem;
  for (bool wholeFolder : {false, true}) {
    write("pkg/a.jsb", "new");
    write("dst/a.jsb", "old");
    fs::permissions(at("dst/a.jsb"), fs::perms::owner_read | fs::perms::others_read);
    expectFailure(wholeFolder ? files.copyFolder(win("pkg"), win("dst"))
                              : files.copyFile(win("pkg\\a.jsb"), win("dst\\a.jsb")),
                  win("dst\\a.jsb"), "Acesso negado.");
    EXPECT_EQ(read("dst/a.jsb"), "old");
    EXPECT_TRUE(leftovers().empty());
    fs::permissions(at("dst/a.jsb"), fs::perms::owner_all);
  }
}

// One holder at a time, a clear failure after the wait or where the lock file cannot be.
TEST_F(FileSystemTest, LockFileHasOneHolderAtATime) {
  using std::chrono::milliseconds;
  std::unique_ptr<FileLock> first, second;
  ASSERT_TRUE(LockFileExclusive(win("instalador.lock"), milliseconds(0), first));
  expectFailure(LockFileExclusive(win("INSTALADOR.LOCK"), milliseconds(200), second),
                win("INSTALADOR.LOCK"), kLockBusy);
  first.reset();
  EXPECT_TRUE(LockFileExclusive(win("instalador.lock"), milliseconds(0), second));

  folder("pasta.lock");
  write("ro.lock", "");
  std::filesystem::permissions(at("ro.lock"), std::filesystem::perms::owner_read);
  for (const char* name : {"pasta.lock", "ro.lock"}) {
    const Status st = LockFileExclusive(win(name), milliseconds(0), first);
    expectFailure(st, win(name), ::testing::Not(::testing::AnyOf(kLockBusy, "")));
  }
  std::filesystem::permissions(at("ro.lock"), std::filesystem::perms::owner_all);
}

// What keeping and undoing an installation does, on every kind of path, in the order listed:
// `path` empty means success; the tree is checked after.
TEST_F(FileSystemTest, UndoCallsChangeWhatTheyMayAndRefuseTheRest) {
  namespace fs = std::filesystem;
  const std::string bytes("a\0b\r\n\xFF", 6);
  write("U/Default.jsb", "old");
  write("U/gone.txt", "x");
  write("U/ro.jsb", "kept");
  write("U/full/x", "x");
  folder("U/empty");
  folder("U/settings");
  fs::permissions(at("U/ro.jsb"), fs::perms::owner_read | fs::perms::others_read);
#ifndef _WIN32
  fs::create_directory_symlink(at("U/full"), at("U/link"));
  ASSERT_EQ(mkfifo(at("U/pipe").c_str(), 0666), 0);
#endif
  std::unique_ptr<FileReader> reader;
  const struct {
    Status got;
    std::string path;
    ::testing::Matcher<const std::string&> reason;
  } cases[] = {
      {files.writeFile(win("u\\DEFAULT.JSB"), "new"), "", ""},
      {files.writeFile(win("U\\new.txt"), bytes), "", ""},
      {files.writeFile(win("U\\EMPTY"), "x"), win("U\\EMPTY"), reasonFor(Fault::kAFolder)},
      {files.writeFile(win("U\\ro.jsb"), "x"), win("U\\ro.jsb"), "Acesso negado."},
      {files.writeFile(win("no\\x"), "x"), win("no\\x"), reasonFor(Fault::kMissingOnTheWay)},
      {files.makeFolders(win("u\\Settings\\a\\b\\")), "", ""},
      {files.makeFolders(win("U\\empty")), "", ""},
      {files.makeFolders(win("U\\default.jsb\\x\\y")), win("U\\default.jsb"),
       reasonFor(Fault::kExists)},
      {files.removeFile(win("U\\GONE.TXT")), "", ""},
      {files.removeFile(win("U\\gone.txt")), "", ""},
      {files.removeFile(win("no\\such")), "", ""},
      {files.removeFile(win("U\\empty")), win("U\\empty"), reasonFor(Fault::kAFolder)},
      {files.removeFile(win("U\\ro.jsb")), win("U\\ro.jsb"), "Acesso negado."},
#ifndef _WIN32
      {files.removeFile(win("U\\LINK")), "", ""},  // the link goes, not what it names
      {files.openRead(win("U\\pipe"), reader), win("U\\pipe"), "Não é um arquivo comum."},
      {files.removeFile(win("U\\pipe")), "", ""},
#endif
      {files.removeFolder(win("U\\EMPTY")), "", ""},
      {files.removeFolder(win("U\\empty")), "", ""},
      {files.removeFolder(win("U\\full")), win("U\\full"), ::testing::Not(::testing::IsEmpty())},
      {files.openRead(win("U\\settings"), reader), win("U\\settings"), reasonFor(Fault::kAFolder)},
      {files.openRead(win("U\\missing"), reader), win("U\\missing"), reasonFor(Fault::kMissing)},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    if (cases[i].path.empty())
      EXPECT_TRUE(cases[i].got) << cases[i].got.reason();
    else
      expectFailure(cases[i].got, cases[i].path, cases[i].reason);
  }
  EXPECT_FALSE(reader);
  EXPECT_THAT(names("U"), ElementsAre("Default.jsb", "full", "new.txt", "ro.jsb", "settings"));
  EXPECT_EQ(read("U/Default.jsb"), "new");
  EXPECT_EQ(read("U/new.txt"), bytes);
  EXPECT_EQ(read("U/ro.jsb"), "kept");
  EXPECT_THAT(names("U/settings/a"), ElementsAre("b"));
  EXPECT_THAT(names("U/full"), ElementsAre("x"));
  EXPECT_TRUE(leftovers().empty());
  fs::permissions(at("U/ro.jsb"), fs::perms::owner_all);
}

// A reader gives the whole file in pieces, whatever their size against the file's.
TEST_F(FileSystemTest, OpenReadGivesAFileLargerThanAnyBufferInPieces) {
  std::string big(5 * 1024 * 1024 + 3, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7919 >> 3);
  write("big.jsb", big);
  std::unique_ptr<FileReader> reader;
  ASSERT_TRUE(files.openRead(win("BIG.JSB"), reader));
  std::string got;
  std::vector<char> piece(70001);
  for (std::size_t n = 1; n;) {
    ASSERT_TRUE(reader->read(piece.data(), piece.size(), n));
    got.append(piece.data(), n);
  }
  EXPECT_TRUE(got == big);  // not EXPECT_EQ: five megabytes in a message
}

// A file far larger than any INI file or information text is refused, not read into memory.
TEST_F(FileSystemTest, ReadFileRefusesWhatNoTextFileReaches) {
  write("huge.txt", "");
  std::filesystem::resize_file(at("huge.txt"), kMaxTextFileBytes + 1);
  std::string got;
  expectFailure(files.readFile(win("huge.txt"), got), win("huge.txt"),
                "O arquivo é grande demais.");
}

}  // namespace
}  // namespace inst::testing
