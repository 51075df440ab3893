#include "platform/posix/native_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace inst::posix {
namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

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
    if (b >= 'a' && b <= 'z') {
      out[i] = static_cast<char>(b - 32);
    } else if (b == 0xC3 && i + 1 < out.size()) {
      // U+00E0..U+00FE (but U+00F7, the division sign) upper-case to U+00C0..U+00DE.
      auto next = static_cast<unsigned char>(out[i + 1]);
      if (next >= 0xA0 && next <= 0xBE && next != 0xB7) out[i + 1] = static_cast<char>(next - 0x20);
      ++i;
    }
  }
  return out;
}

bool sameName(std::string_view a, std::string_view b) { return upperName(a) == upperName(b); }

bool ntfsLess(std::string_view a, std::string_view b) {
  std::string ua = upperName(a), ub = upperName(b);
  if (ua != ub) return ua < ub;  // std::string compares as unsigned char: ordinal
  return a < b;                  // a stable order for names equal but for case
}

std::string resolvePath(std::string_view windowsPath) {
  std::string native;
  std::size_t i = 0;
  if (!windowsPath.empty() && isSeparator(windowsPath[0])) native = "/";
  bool matching = true;
  while (i < windowsPath.size()) {
    while (i < windowsPath.size() && isSeparator(windowsPath[i])) ++i;
    std::size_t start = i;
    while (i < windowsPath.size() && !isSeparator(windowsPath[i])) ++i;
    std::string_view part = windowsPath.substr(start, i - start);
    if (part.empty() || part == ".") continue;
    std::string base = native;
    if (!base.empty() && base.back() != '/') base += '/';
    if (part == "..") {
      native = base + "..";
      continue;
    }
    std::string exact = base + std::string(part);
    if (matching && !exists(exact)) {
      std::string found;
      if (findIgnoringCase(base, part, found)) {
        native = base + found;
        continue;
      }
      matching = false;
    }
    native = exact;
  }
  if (native.empty()) native = ".";
  return native;
}

int openTempBeside(const std::string& nativeTarget, std::string& tempPath, std::string& error) {
  std::size_t slash = nativeTarget.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : nativeTarget.substr(0, slash + 1);
  std::string pattern = folder + std::string(kTempPrefix) + "XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  int fd = mkstemp(buffer.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return -1;
  }
  tempPath.assign(buffer.data());
  return fd;
}

Status commitTemp(int fd, const std::string& tempPath, const std::string& nativeTarget,
                  const std::string& shownPath) {
  struct stat st;
  mode_t mode;
  if (stat(nativeTarget.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  int failure = 0;
  if (fchmod(fd, mode) != 0) failure = errno;
  if (close(fd) != 0 && !failure) failure = errno;
  if (!failure && rename(tempPath.c_str(), nativeTarget.c_str()) != 0) failure = errno;
  if (failure) {
    unlink(tempPath.c_str());
    return Status::failure(shownPath, std::strerror(failure));
  }
  return Status::success();
}

Status replaceFile(const std::string& nativeTarget, std::string_view bytes,
                   const std::string& shownPath) {
  std::string tempPath, error;
  int fd = openTempBeside(nativeTarget, tempPath, error);
  if (fd < 0) return Status::failure(shownPath, error);
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int failure = errno;
      close(fd);
      unlink(tempPath.c_str());
      return Status::failure(shownPath, std::strerror(failure));
    }
    done += static_cast<std::size_t>(n);
  }
  return commitTemp(fd, tempPath, nativeTarget, shownPath);
}

}  // namespace inst::posix
