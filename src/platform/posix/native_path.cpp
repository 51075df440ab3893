#include "platform/posix/native_path.h"

#include "platform/file_system.h"
#include "text/ascii.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <thread>
#include <vector>

namespace inst::posix {
namespace {

bool isSeparator(char c) {
  return c == '\\' || c == '/';
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The entry of `folder` whose name matches `name` ignoring case, first in NTFS order.
bool findIgnoringCase(const std::string& folder, std::string_view name, std::string& found) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return false;
  const std::string wanted = upperName(name);
  bool any = false;
  while (dirent* entry = readdir(dir)) {
    std::string_view candidate = entry->d_name;
    if (candidate == "." || candidate == "..") continue;
    if (upperName(candidate) != wanted) continue;
    if (!any || ntfsLess(candidate, found)) found.assign(candidate);
    any = true;
  }
  closedir(dir);
  return any;
}

}  // namespace

std::string upperName(std::string_view utf8) {
  std::string out(utf8);
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto b = static_cast<unsigned char>(out[i]);
    if (b < 0x80) {
      out[i] = ascii::ToUpper(out[i]);
    } else if (b == 0xC3 && i + 1 < out.size()) {
      // U+00E0..U+00FE (but U+00F7, the division sign) upper-case to U+00C0..U+00DE.
      auto next = static_cast<unsigned char>(out[i + 1]);
      if (next >= 0xA0 && next <= 0xBE && next != 0xB7) out[i + 1] = static_cast<char>(next - 0x20);
      ++i;
    }
  }
  return out;
}

bool sameName(std::string_view a, std::string_view b) {
  return upperName(a) == upperName(b);
}

bool ntfsLess(std::string_view a, std::string_view b) {
  std::string ua = upperName(a), ub = upperName(b);
  if (ua != ub) return ua < ub;  // std::string compares as unsigned char: ordinal
  return a < b;                  // a stable order for names equal but for case
}

std::string resolvePath(std::string_view windowsPath) {
  std::string native;
  if (!windowsPath.empty() && isSeparator(windowsPath[0])) native.push_back('/');
  bool matching = true;
  std::size_t i = 0;
  while (i < windowsPath.size()) {
    while (i < windowsPath.size() && isSeparator(windowsPath[i])) ++i;
    std::size_t start = i;
    while (i < windowsPath.size() && !isSeparator(windowsPath[i])) ++i;
    std::string_view part = windowsPath.substr(start, i - start);
    if (part.empty() || part == ".") continue;
    if (!native.empty() && native.back() != '/') native.push_back('/');
    const std::size_t folderLength = native.size();
    native.append(part);
    if (part == ".." || !matching || exists(native)) continue;
    native.resize(folderLength);
    std::string found;
    if (findIgnoringCase(native, part, found)) {
      native.append(found);
    } else {
      matching = false;
      native.append(part);
    }
  }
  if (native.empty()) native.push_back('.');
  return native;
}

namespace {

// The process's umask, read once: reading it means setting it, twice.
mode_t processUmask() {
  static const mode_t mask = [] {
    mode_t m = umask(0);
    umask(m);
    return m;
  }();
  return mask;
}

}  // namespace

std::string reasonText(int error) {
  if (error == EACCES) return "Acesso negado.";
  if (error == kNotRegularError) return kNotRegular;
  if (error == kTooLargeError) return kTooLarge;
  return std::strerror(error);
}

bool isOrphanTemp(std::string_view name) {
  if (!name.starts_with(kTempFilePrefix)) return false;
  name.remove_prefix(kTempFilePrefix.size());
  // The name begins with the writer's process id; a name without one is no write of ours.
  pid_t pid = 0;
  std::size_t digits = 0;
  while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9' && digits < 9) {
    pid = pid * 10 + (name[digits] - '0');
    ++digits;
  }
  if (digits == 0 || pid <= 0) return true;
  // EPERM: the process exists but belongs to someone else; it may still be writing.
  return kill(pid, 0) != 0 && errno == ESRCH;
}

void removeOrphanTemps(int folder) {
  posix::Descriptor listing(openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!listing) return;
  DIR* dir = fdopendir(listing.get());
  if (!dir) return;
  listing.release();
  std::vector<std::string> orphans;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_type != DT_DIR && isOrphanTemp(entry->d_name)) orphans.emplace_back(entry->d_name);
  }
  closedir(dir);
  for (const std::string& name : orphans) unlinkat(folder, name.c_str(), 0);
}

void TestPause([[maybe_unused]] const char* where, [[maybe_unused]] std::string_view target) {
#ifndef NDEBUG
  // A test holds a run here to meet another run in the middle of a write: the run says where it
  // is by making "<file>.held" and goes on when the test removes <file>. "rename:NAME" holds
  // only the write of a file of that name.
  const char* file = std::getenv("INSTALADOR_TEST_HOLD");
  const char* at = std::getenv("INSTALADOR_TEST_HOLD_AT");
  if (!file || !at) return;
  const std::string_view name = target.substr(target.rfind('/') + 1);
  if (std::string_view(at) != where &&
      std::string(at) != std::string(where) + ":" + std::string(name))
    return;
  struct stat st;
  if (stat(file, &st) != 0) return;
  const std::string held = std::string(file) + ".held";
  close(open(held.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  while (stat(file, &st) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
#endif
}

void Descriptor::reset(int fd) {
  if (fd_ >= 0) {
    const int saved = errno;
    close(fd_);
    errno = saved;
  }
  fd_ = fd;
}

namespace {

// Creates a new temporary file named `folderPrefix` + a fresh name, relative to `folder`.
int openTempIn(int folder, std::string_view folderPrefix, std::string& tempPath, int& error) {
  static std::mt19937_64 random{std::random_device{}()};
  static unsigned long long counter = 0;
  static const pid_t pid = getpid();
  // Created with the usual mode of a new file, so that most targets need no chmod afterwards.
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath.assign(folderPrefix);
    tempPath.append(kTempFilePrefix);
    tempPath.append(std::to_string(pid)).push_back('-');
    tempPath.append(std::to_string(++counter)).push_back('-');
    tempPath.append(std::to_string(random() % 1000000000u));
    int fd = openat(folder, tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  error = errno;
  tempPath.clear();
  return -1;
}

}  // namespace

int openTempAt(int folder, std::string& tempName, int& error) {
  return openTempIn(folder, {}, tempName, error);
}

int openTempBeside(const std::string& nativeTarget, std::string& tempPath, std::string& error) {
  std::size_t slash = nativeTarget.rfind('/');
  std::string_view folder = std::string_view(nativeTarget).substr(0, slash + 1);  // npos + 1 == 0
  int failure = 0;
  int fd = openTempIn(AT_FDCWD, folder, tempPath, failure);
  if (fd < 0) error = reasonText(failure);
  return fd;
}

int closeTempAt(int fd, int folder, const std::string& tempName, const std::string& target,
                bool knownNew, bool flush) {
  // A replaced file keeps its permissions; a new one has those it was created with. A file
  // without write permission is read-only to Windows, which refuses to replace it.
  struct stat st;
  int failure = 0;
  if (!knownNew && fstatat(folder, target.c_str(), &st, 0) == 0) {
    if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) {
      failure = EACCES;
    } else if ((st.st_mode & 07777) != (0666 & ~processUmask()) &&
               fchmod(fd, st.st_mode & 07777) != 0) {
      failure = errno;
    }
  }
  if (!failure && flush && fdatasync(fd) != 0) failure = errno;
  if (close(fd) != 0 && !failure) failure = errno;
  if (failure) unlinkat(folder, tempName.c_str(), 0);
  return failure;
}

int renameTempAt(int folder, const std::string& tempName, const std::string& target) {
  if (renameat(folder, tempName.c_str(), folder, target.c_str()) == 0) return 0;
  const int failure = errno;
  unlinkat(folder, tempName.c_str(), 0);
  return failure;
}

int flushFolder(int at, const char* path) {
  // Only a folder opened for reading can be flushed: a descriptor opened as a place (O_PATH)
  // is refused with EBADF.
  Descriptor folder(openat(at, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder) {
    if (errno != EACCES) return errno;
    // A folder the user may write in but not list: only every file system at once can be
    // flushed, which sync does, and waits for.
    sync();
    return 0;
  }
  if (fsync(folder.get()) == 0 || errno == EINVAL || errno == ENOTSUP) return 0;
  return errno;
}

int commitTempAt(int fd, int folder, const std::string& tempName, const std::string& target,
                 bool knownNew) {
  if (int failure = closeTempAt(fd, folder, tempName, target, knownNew, true)) return failure;
  TestPause("rename", target);
  if (int failure = renameTempAt(folder, tempName, target)) return failure;
  // The new name is on the disk only once the folder is; until then the write is not done.
  if (folder != AT_FDCWD) return flushFolder(folder, ".");
  const std::size_t slash = target.rfind('/');
  return flushFolder(AT_FDCWD,
                     slash == std::string::npos ? "." : target.substr(0, slash + 1).c_str());
}

Status commitTemp(int fd, const std::string& tempPath, const std::string& nativeTarget,
                  const std::string& shownPath) {
  if (int failure = commitTempAt(fd, AT_FDCWD, tempPath, nativeTarget))
    return Status::failure(shownPath, reasonText(failure));
  return Status::success();
}

namespace {

// Large enough that a system call moves a lot at once, small enough to bound what one call holds.
constexpr std::size_t kChunk = std::size_t{1} << 20;
constexpr std::size_t kBuffer = std::size_t{64} << 10;

// Errors that say "this method cannot do it here", not "the copy failed": another method may.
bool unsupported(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
         error == EPERM;  // some sandboxes refuse the newer system calls this way
}

int writeAll(int to, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = write(to, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace

int copyBytes(int from, int to, CopyMethod first) {
  // With null offsets both calls advance the descriptors' own offsets, so a method that gives
  // up half way hands over to the next one exactly where it stopped.
  CopyMethod method = first;
  if (method == CopyMethod::CopyFileRange) {
    for (;;) {
      ssize_t n = copy_file_range(from, nullptr, to, nullptr, kChunk, 0);
      if (n > 0) continue;
      if (n == 0) return 0;
      if (errno == EINTR) continue;
      if (!unsupported(errno)) return errno;
      method = CopyMethod::SendFile;
      break;
    }
  }
  if (method == CopyMethod::SendFile) {
    for (;;) {
      ssize_t n = sendfile(to, from, nullptr, kChunk);
      if (n > 0) continue;
      if (n == 0) return 0;
      if (errno == EINTR) continue;
      if (!unsupported(errno)) return errno;
      break;
    }
  }
  std::vector<char> buffer(kBuffer);
  for (;;) {
    ssize_t n = read(from, buffer.data(), buffer.size());
    if (n == 0) return 0;
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (int error = writeAll(to, buffer.data(), static_cast<std::size_t>(n))) return error;
  }
}

Status replaceFile(const std::string& nativeTarget, std::string_view bytes,
                   const std::string& shownPath) {
  std::string tempPath, error;
  int fd = openTempBeside(nativeTarget, tempPath, error);
  if (fd < 0) return Status::failure(shownPath, error);
  if (int failure = writeAll(fd, bytes.data(), bytes.size())) {
    close(fd);
    unlink(tempPath.c_str());
    return Status::failure(shownPath, reasonText(failure));
  }
  return commitTemp(fd, tempPath, nativeTarget, shownPath);
}

}  // namespace inst::posix
