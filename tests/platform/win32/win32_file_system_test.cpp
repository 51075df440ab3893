#include "platform/win32/win32_file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/file_system/file_system_test.h"
#include "platform/win32/wide.h"

namespace inst::testing {

std::unique_ptr<FileSystem> newFileSystem() {
  return std::make_unique<Win32FileSystem>();
}

::testing::Matcher<const std::string&> reasonFor(Fault fault) {
  switch (fault) {
    case Fault::kMissing:
      return win32::errorText(ERROR_FILE_NOT_FOUND);
    case Fault::kMissingOnTheWay:
      return win32::errorText(ERROR_PATH_NOT_FOUND);
    case Fault::kNotAFolder:
      return win32::errorText(ERROR_DIRECTORY);
    case Fault::kAFolder:
      return win32::errorText(ERROR_ACCESS_DENIED);
    case Fault::kExists:
      return win32::errorText(ERROR_ALREADY_EXISTS);
    case Fault::kListedAFile:
      // Wine calls it an invalid name, where Windows may give another code: any reason will do.
      return ::testing::Not(::testing::IsEmpty());
  }
  return "no such fault";
}

namespace {

// What only Windows has: attributes, the read-only flag, the classic path limit and junctions.
class Win32FileSystemTest : public FileSystemTest {
 protected:
  void attributes(const std::string& relative, DWORD a) const {
    ASSERT_TRUE(SetFileAttributesW(at(relative).c_str(), a));
  }
};

TEST_F(Win32FileSystemTest, TellsFilesFromFoldersByAttributes) {
  write("Info/leia.txt", "x");
  write("Info/oculto.txt", "x");
  write("Info/sistema.txt", "x");
  write("Info/somente.txt", "x");
  attributes("Info/oculto.txt", FILE_ATTRIBUTE_HIDDEN);
  attributes("Info/sistema.txt", FILE_ATTRIBUTE_SYSTEM);
  attributes("Info/somente.txt", FILE_ATTRIBUTE_READONLY);
  expectKinds({
      {win("Info\\oculto.txt"), true, false, false},
      {win("Info\\sistema.txt"), true, false, false},
      {win("Info\\somente.txt"), true, true, false},  // read-only is still a normal file
      {win("Info\\*.txt"), false, false, false},      // a pattern names no file
  });
}

TEST_F(Win32FileSystemTest, CopiesReadOnlyFilesSoTheNextInstallCanReplaceThem) {
  write("pkg/ro.jsb", "first");
  attributes("pkg/ro.jsb", FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(files.copyFolder(win("pkg"), win("dst")));
  EXPECT_FALSE(GetFileAttributesW(at("dst/ro.jsb").c_str()) & FILE_ATTRIBUTE_READONLY);
  attributes("pkg/ro.jsb", FILE_ATTRIBUTE_NORMAL);
  write("pkg/ro.jsb", "second");
  ASSERT_TRUE(files.copyFolder(win("pkg"), win("dst")));
  EXPECT_EQ(read("dst/ro.jsb"), "second");
}

TEST_F(Win32FileSystemTest, CopyFolderStopsAtALinkCycle) {
  write("loop/inner/x.jsb", "x");
  // Creating links needs a privilege on Windows, and Wine reports success without making one.
  CreateSymbolicLinkW(at("loop/inner/up").c_str(), at("loop").c_str(),
                      SYMBOLIC_LINK_FLAG_DIRECTORY);
  DWORD a = GetFileAttributesW(at("loop/inner/up").c_str());
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY))
    GTEST_SKIP() << "no symbolic links to folders here";
  expectFailure(files.copyFolder(win("loop"), win("out")), win("loop\\inner\\up"),
                win32::errorText(ERROR_CANT_RESOLVE_FILENAME));
}

TEST_F(Win32FileSystemTest, CopyFolderReachesPastTheClassicPathLimit) {
  const std::string deep(120, 'd');
  write("pkg/" + deep + "/" + deep + "/a.jsb", "far down");
  const std::string target = "dst-" + std::string(100, 't');
  ASSERT_GT(win(target + "\\" + deep + "\\" + deep + "\\a.jsb").size(), std::size_t{MAX_PATH});
  Status s = files.copyFolder(win("pkg"), win(target));
  ASSERT_TRUE(s) << s.path() << ": " << s.reason();
  EXPECT_TRUE(files.fileExists(win(target + "\\" + deep + "\\" + deep + "\\a.jsb")));
}

}  // namespace
}  // namespace inst::testing
