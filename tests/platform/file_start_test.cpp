#include "platform/file_start.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace inst {
namespace {

namespace fs = std::filesystem;

TEST(FileStart, TellsMissingFoldersAndReadsUpToTheLimit) {
  const fs::path dir =
      fs::temp_directory_path() / ("instalador-file-start-" + std::to_string(std::rand()));
  fs::create_directories(dir / "folder");
  std::ofstream(dir / "sound.wav", std::ios::binary) << "RIFF0123456789";
  std::ofstream(dir / "empty.wav", std::ios::binary).flush();
  const std::string base = dir.string() + static_cast<char>(fs::path::preferred_separator);
  struct Case {
    std::string name;
    std::size_t limit;
    FileStart::State state;
    std::uint64_t size;
    std::string bytes;
  } cases[] = {
      {"sound.wav", 100, FileStart::State::Read, 14, "RIFF0123456789"},
      {"sound.wav", 4, FileStart::State::Read, 14, "RIFF"},
      {"empty.wav", 100, FileStart::State::Read, 0, ""},
      {"folder", 100, FileStart::State::NotAFile, 0, ""},
      {"missing.wav", 100, FileStart::State::Missing, 0, ""},
  };
  for (const Case& c : cases) {
    FileStart got = ReadFileStart(base + c.name, c.limit);
    EXPECT_EQ(got.state, c.state) << c.name;
    EXPECT_EQ(got.size, c.size) << c.name;
    EXPECT_EQ(got.bytes, c.bytes) << c.name;
  }
  EXPECT_EQ(ReadFileStart("", 100).state, FileStart::State::Missing);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace inst
