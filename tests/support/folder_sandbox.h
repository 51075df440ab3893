#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/file_system.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace inst::testing {

namespace fs = std::filesystem;

// Program text is UTF-8; on Windows a narrow path would otherwise go through the ANSI code page.
inline fs::path pathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string textOf(const fs::path& path) {
  const std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

// A real temporary folder, removed with everything in it when the test ends.
class FolderSandbox : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937_64 random(std::random_device{}() ^
                           std::chrono::steady_clock::now().time_since_epoch().count());
    // Creating the folder is the claim on the name: another run's folder is never shared.
    for (int attempt = 0; attempt < 100 && base_.empty(); ++attempt) {
      fs::path candidate =
          fs::temp_directory_path() / ("instalador-test-" + std::to_string(random()));
      if (fs::create_directory(candidate)) base_ = candidate;
    }
    ASSERT_FALSE(base_.empty());
    root_ = textOf(base_);
  }
  void TearDown() override {
    if (base_.empty()) return;
#ifdef _WIN32
    removeTree(L"\\\\?\\" + base_.wstring());
#else
    // Tests take permissions away; give them back so that everything can be removed.
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(base_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      if (!it->is_symlink()) chmod(it->path().c_str(), 0700);
    fs::remove_all(base_, ec);
#endif
  }

  // A path into the sandbox in the Windows form the file-system service takes.
  std::string win(const std::string& relative) const {
    return root_ + "\\" + relative;
  }
  // The same place for the test's own file operations ("/" separates).
  fs::path at(const std::string& relative) const {
    return base_ / pathOf(relative);
  }

  void write(const std::string& relative, const std::string& bytes) const {
    fs::create_directories(at(relative).parent_path());
    std::ofstream(at(relative), std::ios::binary) << bytes;
  }
  void folder(const std::string& relative) const {
    fs::create_directories(at(relative));
  }

  std::string read(const std::string& relative) const {
    std::ifstream in(at(relative), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  // The names in a folder, sorted byte-wise, so that a test sees exactly which spellings exist.
  std::vector<std::string> names(const std::string& relative) const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(at(relative)))
      out.push_back(textOf(e.path().filename()));
    std::sort(out.begin(), out.end());
    return out;
  }

  // Every file below the sandbox whose name starts with the temporary prefix.
  std::vector<std::string> leftovers() const {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(base_))
      if (textOf(e.path().filename()).starts_with(kTempFilePrefix)) out.push_back(textOf(e.path()));
    return out;
  }

  std::string root_;  // UTF-8, no trailing separator

 private:
#ifdef _WIN32
  // Tests leave read-only files, links and paths longer than the library's own removal reaches.
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
#endif

  fs::path base_;
};

}  // namespace inst::testing
