// Discovery over real folders, through the platform's own file-system service: the listing order
// and what counts as a folder come from the back end, natively and under Wine alike.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "jaws/discovery.h"
#ifdef _WIN32
#include "platform/win32/win32_file_system.h"
using PlatformFileSystem = inst::Win32FileSystem;
#else
#include "platform/posix/posix_file_system.h"
using PlatformFileSystem = inst::PosixFileSystem;
#endif

namespace inst::jaws {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

std::string utf8(const fs::path& p) {
  std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

class DiscoverySandbox : public ::testing::Test {
 protected:
  void SetUp() override {
    auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    base_ = fs::temp_directory_path() / ("instalador-jaws-" + std::to_string(tick));
    fs::create_directories(base_ / "Freedom Scientific" / "JAWS");
    // The core joins with "\"; both back ends take it.
    root_ = utf8(base_) + "\\freedom scientific\\jaws";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(base_, ec);
  }
  void folders(std::initializer_list<const char*> names) {
    for (const char* n : names) fs::create_directories(base_ / "Freedom Scientific" / "JAWS" / n);
  }

  fs::path base_;
  std::string root_;
  PlatformFileSystem fs_;
};

TEST_F(DiscoverySandbox, TakesTheLastListedInNtfsOrder) {
  // Made in an order that is neither the listing order nor the version order.
  folders({"9.0", "Settings", "17.0", "15.0", "16.0", "18.0a"});
  std::ofstream(base_ / "Freedom Scientific" / "JAWS" / "20.0") << "a file, not a version folder";
  Discovery d = DiscoverVersions(fs_, root_, 0, "T");
  ASSERT_FALSE(d.stop) << d.message;
  EXPECT_THAT(d.found, ElementsAre("15.0", "16.0", "17.0", "9.0"));
  EXPECT_EQ(d.checkboxes[0].caption, "9.0");
  EXPECT_EQ(d.checkboxes[3].caption, "15.0");
}

TEST_F(DiscoverySandbox, StartVersionLeavesOutOlderFolders) {
  folders({"15.0", "16.0", "17.0"});
  Discovery d = DiscoverVersions(fs_, root_, 16, "T");
  ASSERT_FALSE(d.stop);
  EXPECT_EQ(d.versionCount, 2);
  EXPECT_EQ(d.checkboxes[0].caption, "17.0");
  EXPECT_EQ(d.checkboxes[1].caption, "16.0");
  EXPECT_FALSE(d.checkboxes[2].visible);
  EXPECT_FALSE(d.checkboxes[3].enabled);
}

TEST_F(DiscoverySandbox, StopsOnAMissingEmptyOrFileRoot) {
  Discovery empty = DiscoverVersions(fs_, root_, 0, "T");
  EXPECT_TRUE(empty.stop);
  EXPECT_EQ(empty.icon, MsgIcon::Exclamation);

  Discovery missing = DiscoverVersions(fs_, root_ + "\\nothing", 0, "T");
  EXPECT_TRUE(missing.stop);
  EXPECT_EQ(missing.icon, MsgIcon::None);

  std::ofstream(base_ / "Freedom Scientific" / "JAWS" / "file") << "x";
  Discovery file = DiscoverVersions(fs_, root_ + "\\file", 0, "T");
  EXPECT_TRUE(file.stop);
  EXPECT_EQ(file.icon, MsgIcon::None);
}

}  // namespace
}  // namespace inst::jaws
