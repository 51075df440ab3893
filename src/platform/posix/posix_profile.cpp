#include "platform/posix/posix_profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/ini/profile_text.h"
#include "platform/posix/native_path.h"

namespace inst {
namespace {

// A file's bytes, read whole. The buffer is left uninitialised before the read fills it: a
// large file then costs little more than the copy out of the page cache.
struct Content {
  std::unique_ptr<char[]> data;
  std::size_t size = 0;
  bool exists = false;
  int error = 0;  // errno of a failure other than "no such file"

  ini::FileBytes bytes() const {
    if (!exists) return std::nullopt;
    return std::string_view(data.get(), size);
  }
};

Content readWhole(const std::string& native) {
  Content c;
  int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR) c.error = errno;
    return c;
  }
  struct stat st;
  std::size_t capacity = 1 << 12;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    capacity = static_cast<std::size_t>(st.st_size) + 1;  // + 1 sees the end in one read
  }
  c.data.reset(new char[capacity]);
  for (;;) {
    if (c.size == capacity) {
      // The file grew while being read, or its size was unknown.
      std::unique_ptr<char[]> bigger(new char[capacity * 2]);
      std::memcpy(bigger.get(), c.data.get(), c.size);
      c.data = std::move(bigger);
      capacity *= 2;
    }
    ssize_t n = read(fd, c.data.get() + c.size, capacity - c.size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      c.error = errno;
      break;
    }
    if (n == 0) break;
    c.size += static_cast<std::size_t>(n);
  }
  close(fd);
  c.exists = c.error == 0;
  return c;
}

// A symbolic link is followed, so that the rename replaces the file it names and not the link.
std::string writeTarget(const std::string& native) {
  struct stat st;
  if (lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(native.c_str(), nullptr)) {
      std::string target(real);
      std::free(real);
      return target;
    }
  }
  return native;
}

}  // namespace

std::uint32_t PosixProfile::getString(const std::string& section, const std::string& key,
                                      const std::string& def, char* buffer, std::uint32_t size,
                                      const std::string& path) {
  // A file that cannot be read is as good as missing: the read gives the default.
  const Content content = readWhole(posix::resolvePath(path));
  return ini::getString(content.bytes(), section, key, def, buffer, size);
}

Status PosixProfile::writeString(const std::string& section, const std::string& key,
                                 const std::string& value, const std::string& path) {
  const std::string native = writeTarget(posix::resolvePath(path));
  const Content content = readWhole(native);
  if (content.error) return Status::failure(path, std::strerror(content.error));
  const ini::Edit edit = ini::writeString(content.bytes(), section, key, value);
  if (edit.outcome != ini::Outcome::changed) return Status::success();
  return posix::replaceFile(native, edit.content, path);
}

}  // namespace inst
