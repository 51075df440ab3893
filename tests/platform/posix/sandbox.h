#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace inst::testing {

namespace fs = std::filesystem;

// A real temporary folder, removed with everything in it when the test ends.
class Sandbox : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "instalador-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    // Tests take permissions away; give them back so that everything can be removed.
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      if (!it->is_symlink()) chmod(it->path().c_str(), 0700);
    fs::remove_all(root_, ec);
  }

  std::string at(const std::string& relative) const { return root_ + "/" + relative; }

  void write(const std::string& relative, const std::string& bytes) const {
    fs::path p = at(relative);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
  }
  void folder(const std::string& relative) const { fs::create_directories(at(relative)); }

  std::string read(const std::string& relative) const {
    std::ifstream in(at(relative), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  // The names in a folder, sorted byte-wise, so that a test sees exactly which spellings exist.
  std::vector<std::string> names(const std::string& relative) const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(at(relative))) out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
  }

  // Every file below the sandbox whose name starts with the temporary prefix.
  std::vector<std::string> leftovers() const {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root_))
      if (e.path().filename().string().starts_with(".instalador-tmp-")) out.push_back(e.path());
    return out;
  }

  static bool root() { return geteuid() == 0; }

  std::string root_;
};

}  // namespace inst::testing
