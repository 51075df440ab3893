#include "platform/file_start.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace inst {

FileStart ReadFileStart(const std::string& path, std::size_t limit) {
  FileStart result;
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0) return result;
  if (!S_ISREG(info.st_mode)) {
    result.state = FileStart::State::NotAFile;
    return result;
  }
  result.size = static_cast<std::uint64_t>(info.st_size);
  result.state = FileStart::State::Unreadable;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return result;
  std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(result.size, limit)), '\0');
  const bool whole = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
  std::fclose(file);
  if (!whole) return result;
  result.bytes = std::move(bytes);
  result.state = FileStart::State::Read;
  return result;
}

}  // namespace inst
