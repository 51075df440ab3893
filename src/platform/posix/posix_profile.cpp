#include "platform/posix/posix_profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/file_system.h"
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

// Reads the open file `fd`: only a regular file, and only up to the size no INI file reaches, so
// that a pipe, a device or a huge file neither hangs the run nor fills its memory.
Content readOpen(int fd) {
  Content c;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    c.error = errno;
    return c;
  }
  if (!S_ISREG(st.st_mode)) {
    c.error = posix::kNotRegularError;
    return c;
  }
  if (static_cast<std::uint64_t>(st.st_size) > kMaxTextFileBytes) {
    c.error = posix::kTooLargeError;
    return c;
  }
  std::size_t capacity = 1 << 12;
  if (st.st_size > 0) {
    capacity = static_cast<std::size_t>(st.st_size) + 1;  // + 1 sees the end in one read
  }
  c.data.reset(new char[capacity]);
  for (;;) {
    if (c.size == capacity) {
      if (c.size > kMaxTextFileBytes) {
        c.error = posix::kTooLargeError;
        break;
      }
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
  c.exists = c.error == 0;
  return c;
}

// O_NONBLOCK: a pipe without a writer must not hang the open.
int openForReading(const std::string& native) {
  return open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

Content readWhole(const std::string& native) {
  posix::Descriptor fd(openForReading(native));
  if (!fd) {
    Content c;
    if (errno != ENOENT && errno != ENOTDIR) c.error = errno;
    return c;
  }
  return readOpen(fd.get());
}

// The folder of a native path, open for the clean-up of leftovers.
posix::Descriptor openParent(const std::string& native) {
  const std::size_t slash = native.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : native.substr(0, slash + 1);
  return posix::Descriptor(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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

namespace {

// A write, or a removal when `value` is null: the same lock, read and replacement for both.
Status editFile(const std::string& section, const std::string& key, ini::Arg value,
                const std::string& path) {
  const std::string native = writeTarget(posix::resolvePath(path));
  if (posix::Descriptor folder = openParent(native)) posix::removeOrphanTemps(folder.get());
  // The file is held locked from the read to the rename, so that two writers (two users'
  // installations share this file) never both read the old content: the second waits, then
  // finds that the name holds a new file and reads that one.
  posix::Descriptor fd;
  for (;;) {
    fd.reset(openForReading(native));
    if (!fd) break;  // missing (made by the write) or unreadable (the read below says why)
    struct stat held, named;
    int locked;
    while ((locked = flock(fd.get(), LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) break;
    if (fstat(fd.get(), &held) != 0 || stat(native.c_str(), &named) != 0) break;
    if (held.st_dev == named.st_dev && held.st_ino == named.st_ino) break;
  }
  const Content content = fd ? readOpen(fd.get()) : readWhole(native);
  if (content.error) return Status::failure(path, posix::reasonText(content.error));
  // Windows would create the file empty; a removal that finds no file leaves none.
  if (!value && !content.exists) return Status::success();
  const ini::Edit edit = ini::writeString(content.bytes(), section, key, value);
  if (edit.outcome != ini::Outcome::changed) return Status::success();
  return posix::replaceFile(native, edit.content, path);
}

}  // namespace

Status PosixProfile::writeString(const std::string& section, const std::string& key,
                                 const std::string& value, const std::string& path) {
  return editFile(section, key, value, path);
}

Status PosixProfile::removeString(const std::string& section, const std::string& key,
                                  const std::string& path) {
  return editFile(section, key, std::nullopt, path);
}

}  // namespace inst
