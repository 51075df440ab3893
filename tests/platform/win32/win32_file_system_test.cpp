#include "platform/win32/win32_file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/win32/wide.h"

namespace inst {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

std::string utf8(const fs::path& p) {
  std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

std::string reason(DWORD code) {
  return win32::errorText(code);
}

class Win32FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    root_ = fs::temp_directory_path() / ("instalador-test-" + std::to_string(tick));
    fs::create_directories(root_);
  }
  void TearDown() override { removeTree(L"\\\\?\\" + root_.wstring()); }

  // The long-path test leaves paths that the library's own removal cannot reach.
  static void removeTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring child = path + L"\\" + name;
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
          RemoveDirectoryW(child.c_str()) ||
              DeleteFileW(child.c_str());  // the link, not its target
        else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          removeTree(child);
        else
          DeleteFileW(child.c_str());
      } while (FindNextFileW(h, &data));
      FindClose(h);
    }
    RemoveDirectoryW(path.c_str());
  }

  std::string win(const std::string& relative) const { return utf8(root_) + "\\" + relative; }
  fs::path at(const std::string& relative) const { return root_ / fs::path(relative); }
  void write(const std::string& relative, const std::string& bytes) const {
    fs::create_directories(at(relative).parent_path());
    std::ofstream(at(relative), std::ios::binary) << bytes;
  }
  void folder(const std::string& relative) const { fs::create_directories(at(relative)); }
  std::string read(const std::string& relative) const {
    std::ifstream in(at(relative), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::vector<std::string> names(const std::string& relative) const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(at(relative)))
      out.push_back(utf8(e.path().filename()));
    std::sort(out.begin(), out.end());
    return out;
  }
  std::vector<std::string> leftovers() const {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root_))
      if (utf8(e.path().filename()).starts_with(".instalador-tmp-")) out.push_back(utf8(e.path()));
    return out;
  }
  void attributes(const std::string& relative, DWORD a) const {
    ASSERT_TRUE(SetFileAttributesW(at(relative).c_str(), a));
  }

  fs::path root_;
  Win32FileSystem fs_;
};

TEST_F(Win32FileSystemTest, TellsFilesFromFoldersByAttributes) {
  write("Info/leia.txt", "x");
  write("Info/oculto.txt", "x");
  write("Info/sistema.txt", "x");
  write("Info/somente.txt", "x");
  folder("Info/pasta");
  attributes("Info/oculto.txt", FILE_ATTRIBUTE_HIDDEN);
  attributes("Info/sistema.txt", FILE_ATTRIBUTE_SYSTEM);
  attributes("Info/somente.txt", FILE_ATTRIBUTE_READONLY);
  struct Case {
    std::string path;
    bool file, normal, folder;
  };
  const Case cases[] = {
      {win("Info\\leia.txt"), true, true, false},
      {win("INFO\\LEIA.TXT"), true, true, false},
      {win("Info\\oculto.txt"), true, false, false},
      {win("Info\\sistema.txt"), true, false, false},
      {win("Info\\somente.txt"), true, true, false},  // read-only is still a normal file
      {win("Info\\*.txt"), false, false, false},
      {win("Info\\pasta"), false, false, true},
      {win("Info\\"), false, false, true},
      {win("Info\\missing.txt"), false, false, false},
      {"", false, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fs_.fileExists(c.path), c.file) << c.path;
    EXPECT_EQ(fs_.normalFileExists(c.path), c.normal) << c.path;
    EXPECT_EQ(fs_.folderExists(c.path), c.folder) << c.path;
  }
}

TEST_F(Win32FileSystemTest, ListsSubfoldersInNtfsOrder) {
  for (const char* name : {"9.0", "17.0", "settings", "Beta", "alpha", "_x", "16.0"})
    folder(std::string("Jaws/") + name);
  write("Jaws/15.0", "a file among the folders");
  std::vector<SubFolder> out;
  ASSERT_TRUE(fs_.subFolders(win("jaws\\"), out));
  std::vector<std::string> names;
  for (const SubFolder& f : out) names.push_back(f.name);
  EXPECT_THAT(names, ElementsAre("16.0", "17.0", "9.0", "alpha", "Beta", "settings", "_x"));
  EXPECT_EQ(out[0].path, win("jaws\\16.0"));
  EXPECT_TRUE(fs_.folderExists(out[0].path));

  Status s = fs_.subFolders(win("missing"), out);
  EXPECT_FALSE(s);
  EXPECT_EQ(s.path(), win("missing"));
  EXPECT_FALSE(s.reason().empty());
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(fs_.subFolders("", out));
}

TEST_F(Win32FileSystemTest, CopyFolderMergesIntoTheDestinationIgnoringCase) {
  write("pastascripts/notepad.jsb", "new notepad");
  write("pastascripts/RedidUzizu.jsb", "package");
  write("pastascripts/Sub/Deeper/a.jss", "deep");
  write("PTB/NOTEPAD.JSB", "user's notepad");
  write("PTB/SUB/keep.txt", "user's file in a matching folder");
  write("PTB/mine.jkm", "user's file the package lacks");
  write("PTB/.instalador-tmp-left", "torn");
  write("PTB/SUB/.instalador-tmp-left", "torn");

  ASSERT_TRUE(fs_.copyFolder(win("pastascripts"), win("ptb")));
  EXPECT_THAT(names("PTB"), ElementsAre("NOTEPAD.JSB", "RedidUzizu.jsb", "SUB", "mine.jkm"));
  EXPECT_EQ(read("PTB/NOTEPAD.JSB"), "new notepad");
  EXPECT_THAT(names("PTB/SUB"), ElementsAre("Deeper", "keep.txt"));
  EXPECT_EQ(read("PTB/SUB/Deeper/a.jss"), "deep");
  EXPECT_EQ(read("PTB/mine.jkm"), "user's file the package lacks");
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(Win32FileSystemTest, CopyFolderCreatesTheDestinationButNotItsParents) {
  write("pkg/a.jsb", "a");
  ASSERT_TRUE(fs_.copyFolder(win("pkg"), win("new")));
  EXPECT_EQ(read("new/a.jsb"), "a");
  Status s = fs_.copyFolder(win("pkg"), win("no\\such"));
  EXPECT_FALSE(s);
  EXPECT_EQ(s.path(), win("no\\such"));
  EXPECT_FALSE(fs_.folderExists(win("no")));
}

TEST_F(Win32FileSystemTest, CopiesLargeAndReadOnlyFilesSoTheNextInstallCanReplaceThem) {
  std::string big(5 * 1024 * 1024 + 3, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7919 >> 3);
  write("pkg/big.jsb", big);
  write("pkg/ro.jsb", "first");
  attributes("pkg/ro.jsb", FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(fs_.copyFolder(win("pkg"), win("dst")));
  EXPECT_TRUE(read("dst/big.jsb") == big);
  EXPECT_FALSE(GetFileAttributesW(at("dst/ro.jsb").c_str()) & FILE_ATTRIBUTE_READONLY);
  attributes("pkg/ro.jsb", FILE_ATTRIBUTE_NORMAL);
  write("pkg/ro.jsb", "second");
  ASSERT_TRUE(fs_.copyFolder(win("pkg"), win("dst")));
  EXPECT_EQ(read("dst/ro.jsb"), "second");
}

TEST_F(Win32FileSystemTest, CopyFolderStopsAtTheFirstFailureAndNamesIt) {
  write("pkg/a.jsb", "a");
  write("pkg/sub/b.jsb", "b");
  write("pkg/z.jsb", "z");
  write("file", "x");
  write("clash/SUB", "a file where the package has a folder");
  struct Case {
    std::string source, destination, path;
  };
  const Case cases[] = {
      {win("missing"), win("dst1"), win("missing")},
      {win("file"), win("dst2"), win("file")},
      {win("pkg"), win("file"), win("file")},
      {win("pkg"), win("clash"), win("clash\\SUB")},
  };
  for (const Case& c : cases) {
    Status s = fs_.copyFolder(c.source, c.destination);
    EXPECT_FALSE(s) << c.source << " -> " << c.destination;
    EXPECT_EQ(s.path(), c.path);
    EXPECT_FALSE(s.reason().empty());
  }
  EXPECT_FALSE(fs_.fileExists(win("clash\\z.jsb")));
  EXPECT_TRUE(fs_.fileExists(win("clash\\a.jsb")));
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(Win32FileSystemTest, CopyFolderIntoItsOwnSubfolderEnds) {
  write("pkg/a.jsb", "a");
  write("pkg/sub/b.jsb", "b");
  EXPECT_TRUE(fs_.copyFolder(win("pkg"), win("PKG")));
  ASSERT_TRUE(fs_.copyFolder(win("pkg"), win("pkg\\sub")));
  EXPECT_EQ(read("pkg/sub/a.jsb"), "a");
  EXPECT_FALSE(fs_.folderExists(win("pkg\\sub\\sub")));
}

TEST_F(Win32FileSystemTest, CopyFolderStopsAtALinkCycle) {
  write("loop/inner/x.jsb", "x");
  // Creating links needs a privilege on Windows, and Wine reports success without making one.
  CreateSymbolicLinkW(at("loop/inner/up").c_str(), at("loop").c_str(),
                      SYMBOLIC_LINK_FLAG_DIRECTORY);
  DWORD a = GetFileAttributesW(at("loop/inner/up").c_str());
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY))
    GTEST_SKIP() << "no symbolic links to folders here";
  Status s = fs_.copyFolder(win("loop"), win("out"));
  EXPECT_FALSE(s);
  EXPECT_EQ(s.path(), win("loop\\inner\\up"));
  EXPECT_EQ(s.reason(), reason(ERROR_CANT_RESOLVE_FILENAME));
}

TEST_F(Win32FileSystemTest, CopyFolderReachesPastTheClassicPathLimit) {
  const std::string deep(120, 'd');
  write("pkg/" + deep + "/" + deep + "/a.jsb", "far down");
  const std::string target = "dst-" + std::string(100, 't');
  ASSERT_GT(win(target + "\\" + deep + "\\" + deep + "\\a.jsb").size(), std::size_t{MAX_PATH});
  Status s = fs_.copyFolder(win("pkg"), win(target));
  ASSERT_TRUE(s) << s.path() << ": " << s.reason();
  EXPECT_TRUE(fs_.fileExists(win(target + "\\" + deep + "\\" + deep + "\\a.jsb")));
}

TEST_F(Win32FileSystemTest, CopyFileReplacesUnderTheExistingName) {
  write("Extras/extra1.ext", "package default");
  write("U/default.jsb", "old");
  write("U/.instalador-tmp-left", "torn");
  ASSERT_TRUE(fs_.copyFile(win("extras\\EXTRA1.EXT"), win("u\\Default.jsb")));
  EXPECT_THAT(names("U"), ElementsAre("default.jsb"));
  EXPECT_EQ(read("U/default.jsb"), "package default");
  ASSERT_TRUE(fs_.copyFile(win("Extras\\extra1.ext"), win("U\\default_fs.jsd")));
  EXPECT_THAT(names("U"), ElementsAre("default.jsb", "default_fs.jsd"));
}

TEST_F(Win32FileSystemTest, CopyFileFailures) {
  write("a.jsb", "a");
  folder("dir");
  struct Case {
    std::string source, destination, path;
  };
  const Case cases[] = {
      {win("missing.jsb"), win("b.jsb"), win("missing.jsb")},
      {win("dir"), win("b.jsb"), win("dir")},
      {win("a.jsb"), win("DIR"), win("DIR")},
      {win("a.jsb"), win("no\\b.jsb"), win("no\\b.jsb")},
      {"", win("b.jsb"), ""},
  };
  for (const Case& c : cases) {
    Status s = fs_.copyFile(c.source, c.destination);
    EXPECT_FALSE(s) << c.source << " -> " << c.destination;
    EXPECT_EQ(s.path(), c.path);
    EXPECT_FALSE(s.reason().empty());
  }
  EXPECT_FALSE(fs_.fileExists(win("b.jsb")));
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(Win32FileSystemTest, ReadFileGivesTheBytesOrTheReason) {
  std::string bytes("a\0b\r\n\xFF", 6);
  write("Info/leia.txt", bytes);
  folder("dir");
  std::string got = "stale";
  ASSERT_TRUE(fs_.readFile(win("info\\LEIA.txt"), got));
  EXPECT_EQ(got, bytes);
  Status s = fs_.readFile(win("missing"), got);
  EXPECT_FALSE(s);
  EXPECT_EQ(s.path(), win("missing"));
  EXPECT_EQ(s.reason(), reason(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(fs_.readFile(win("dir"), got));
}

}  // namespace
}  // namespace inst
