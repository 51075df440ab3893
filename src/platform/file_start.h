#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace inst {

// The start of a file, for a device that must know what a file holds before it opens it.
struct FileStart {
  enum class State { Missing, NotAFile, Unreadable, Read };
  State state = State::Missing;
  std::uint64_t size = 0;  // the whole file's
  std::string bytes;       // its first min(size, limit) bytes when Read
};

// `path` is a native path in UTF-8, already resolved. A symbolic link counts as what it names.
FileStart ReadFileStart(const std::string& path, std::size_t limit);

}  // namespace inst
