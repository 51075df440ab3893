#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <unordered_map>
#include <utility>

#include "platform/posix/native_path.h"

namespace inst {
namespace {

using posix::resolvePath;

bool isSeparator(char c) {
  return c == '\\' || c == '/';
}

Status failure(const std::string& shown, int error) {
  return Status::failure(shown, std::strerror(error));
}

// The path the user is shown: as given, without trailing separators (a bare root keeps its one).
std::string shownBase(const std::string& path) {
  std::size_t end = path.size();
  while (end > 1 && isSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

std::string shownChild(const std::string& base, const std::string& name) {
  if (!base.empty() && isSeparator(base.back())) return base + name;
  return base + "\\" + name;
}

std::string nativeChild(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string lastComponent(const std::string& nativePath) {
  std::size_t slash = nativePath.rfind('/');
  return slash == std::string::npos ? nativePath : nativePath.substr(slash + 1);
}

bool startsWithTempPrefix(std::string_view name) {
  return name.starts_with(posix::kTempPrefix);
}

// stat that follows links, as Windows sees through them; an empty path names nothing.
int statPath(const std::string& windowsPath, struct stat& st, std::string* native = nullptr) {
  if (windowsPath.empty()) return ENOENT;
  std::string resolved = resolvePath(windowsPath);
  if (native) *native = resolved;
  return stat(resolved.c_str(), &st) == 0 ? 0 : errno;
}

// 0 when the open descriptor is a regular file, else the error that says why it is not one.
int regularOrError(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return errno;
  if (S_ISREG(st.st_mode)) return 0;
  return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
}

struct Entry {
  std::string name;
  unsigned char type;  // d_type: DT_UNKNOWN when the file system does not say
};

// The names in a folder, "." and ".." left out. Returns 0 or errno.
int listFolder(const std::string& native, std::vector<Entry>& out) {
  DIR* dir = opendir(native.c_str());
  if (!dir) return errno;
  errno = 0;
  while (dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") out.push_back({std::string(name), entry->d_type});
    errno = 0;
  }
  int error = errno;
  closedir(dir);
  return error;
}

void sortNtfs(std::vector<Entry>& entries) {
  std::vector<std::pair<std::string, Entry>> keyed;
  keyed.reserve(entries.size());
  for (Entry& e : entries) keyed.emplace_back(posix::upperName(e.name), std::move(e));
  std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    return a.second.name < b.second.name;
  });
  for (std::size_t i = 0; i < keyed.size(); ++i) entries[i] = std::move(keyed[i].second);
}

bool isFolder(const std::string& nativeFolder, const Entry& e) {
  if (e.type == DT_DIR) return true;
  if (e.type != DT_LNK && e.type != DT_UNKNOWN) return false;
  struct stat st;
  return stat(nativeChild(nativeFolder, e.name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct FolderId {
  dev_t dev;
  ino_t ino;
  auto operator<=>(const FolderId&) const = default;
};

FolderId idOf(const struct stat& st) {
  return {st.st_dev, st.st_ino};
}

// Copies one regular file over `nativeTarget` through a temporary file beside it.
Status copyRegular(const std::string& nativeSource, const std::string& nativeTarget,
                   const std::string& shownSource, const std::string& shownTarget) {
  // O_NONBLOCK: a pipe put in place of the file after the check must not hang the copy.
  int in = open(nativeSource.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return failure(shownSource, errno);
  if (int error = regularOrError(in)) {
    close(in);
    return failure(shownSource, error);
  }
  std::string tempPath, reason;
  int out = posix::openTempBeside(nativeTarget, tempPath, reason);
  if (out < 0) {
    close(in);
    return Status::failure(shownTarget, reason);
  }
  int error = posix::copyBytes(in, out);
  close(in);
  if (error) {
    close(out);
    unlink(tempPath.c_str());
    return failure(shownTarget, error);
  }
  return posix::commitTemp(out, tempPath, nativeTarget, shownTarget);
}

// A destination folder as the copy sees it: its names by upper-cased name, so that a file or
// folder of the package lands on the one that is already there whatever its case. Leftovers of
// interrupted writes are removed on the way.
struct TargetFolder {
  std::unordered_map<std::string, std::string> byUpper;

  int load(const std::string& native) {
    std::vector<Entry> entries;
    if (int error = listFolder(native, entries)) return error;
    for (const Entry& e : entries) {
      if (startsWithTempPrefix(e.name) && e.type != DT_DIR) {
        unlink(nativeChild(native, e.name).c_str());
        continue;
      }
      auto [it, added] = byUpper.try_emplace(posix::upperName(e.name), e.name);
      if (!added && posix::ntfsLess(e.name, it->second)) it->second = e.name;
    }
    return 0;
  }

  // The existing name matching `name` ignoring case, or `name` itself when there is none.
  const std::string& nameFor(const std::string& name) const {
    auto it = byUpper.find(posix::upperName(name));
    return it == byUpper.end() ? name : it->second;
  }

  void add(const std::string& name) { byUpper.try_emplace(posix::upperName(name), name); }
};

struct Frame {
  std::string source, target;            // native
  std::string shownSource, shownTarget;  // as the user's paths spell them
  FolderId id;
  std::vector<Entry> entries;
  std::size_t next = 0;
  TargetFolder existing;
};

Status openFrame(Frame& f) {
  if (int error = listFolder(f.source, f.entries)) return failure(f.shownSource, error);
  sortNtfs(f.entries);  // the same order, and so the same first failure, as on Windows
  if (int error = f.existing.load(f.target)) return failure(f.shownTarget, error);
  return Status::success();
}

}  // namespace

bool PosixFileSystem::fileExists(const std::string& path) {
  struct stat st;
  return statPath(path, st) == 0 && S_ISREG(st.st_mode);
}

bool PosixFileSystem::normalFileExists(const std::string& path) {
  // Windows names cannot hold wildcards; a search with one would not name a single file.
  if (path.find_first_of("*?") != std::string::npos) return false;
  struct stat st;
  std::string native;
  if (statPath(path, st, &native) != 0 || !S_ISREG(st.st_mode)) return false;
  return !lastComponent(native).starts_with('.');
}

bool PosixFileSystem::folderExists(const std::string& path) {
  struct stat st;
  return statPath(path, st) == 0 && S_ISDIR(st.st_mode);
}

Status PosixFileSystem::subFolders(const std::string& path, std::vector<SubFolder>& out) {
  out.clear();
  if (path.empty()) return failure(path, ENOENT);
  std::string native = resolvePath(path);
  std::vector<Entry> entries;
  if (int error = listFolder(native, entries)) return failure(shownBase(path), error);
  std::erase_if(entries, [&](const Entry& e) { return !isFolder(native, e); });
  sortNtfs(entries);
  std::string base = shownBase(path);
  out.reserve(entries.size());
  for (Entry& e : entries) {
    std::string full = shownChild(base, e.name);
    out.push_back({std::move(e.name), std::move(full)});
  }
  return Status::success();
}

Status PosixFileSystem::copyFolder(const std::string& source, const std::string& destination) {
  const std::string shownSource = shownBase(source), shownTarget = shownBase(destination);
  struct stat st;
  std::string nativeSource, nativeTarget;
  if (int error = statPath(source, st, &nativeSource)) return failure(shownSource, error);
  if (!S_ISDIR(st.st_mode)) return failure(shownSource, ENOTDIR);
  const FolderId sourceId = idOf(st);

  if (int error = statPath(destination, st, &nativeTarget)) {
    if (error != ENOENT || destination.empty()) return failure(shownTarget, error);
    if (mkdir(nativeTarget.c_str(), 0777) != 0 || stat(nativeTarget.c_str(), &st) != 0)
      return failure(shownTarget, errno);
  }
  if (!S_ISDIR(st.st_mode)) return failure(shownTarget, ENOTDIR);
  const FolderId targetId = idOf(st);
  if (targetId == sourceId) return Status::success();  // every file already is its own copy

  // Iterative, so that depth costs heap, not stack. `open` holds the folders being copied, from
  // the root down: meeting one of them again is a cycle.
  std::set<FolderId> open{sourceId};
  std::vector<Frame> stack;
  stack.push_back({nativeSource, nativeTarget, shownSource, shownTarget, sourceId, {}, 0, {}});
  if (Status s = openFrame(stack.back()); !s) return s;

  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next == f.entries.size()) {
      open.erase(f.id);
      stack.pop_back();
      continue;
    }
    const Entry& e = f.entries[f.next++];
    if (startsWithTempPrefix(e.name)) continue;  // never part of a package
    const std::string from = nativeChild(f.source, e.name);
    const std::string shownFrom = shownChild(f.shownSource, e.name);
    if (stat(from.c_str(), &st) != 0) return failure(shownFrom, errno);

    const std::string& targetName = f.existing.nameFor(e.name);
    const std::string to = nativeChild(f.target, targetName);
    const std::string shownTo = shownChild(f.shownTarget, targetName);

    if (S_ISREG(st.st_mode)) {
      if (Status s = copyRegular(from, to, shownFrom, shownTo); !s) return s;
      f.existing.add(targetName);
      continue;
    }
    if (!S_ISDIR(st.st_mode)) continue;

    const FolderId id = idOf(st);
    if (id == targetId) continue;  // the destination lies inside the source: not copied into itself
    if (open.contains(id)) return failure(shownFrom, ELOOP);

    struct stat existing;
    if (stat(to.c_str(), &existing) == 0) {
      if (!S_ISDIR(existing.st_mode)) return failure(shownTo, EEXIST);
    } else if (errno != ENOENT || mkdir(to.c_str(), 0777) != 0) {
      return failure(shownTo, errno);
    }
    f.existing.add(targetName);

    Frame child{from, to, shownFrom, shownTo, id, {}, 0, {}};
    if (Status s = openFrame(child); !s) return s;
    open.insert(id);
    stack.push_back(std::move(child));  // `f` and `e` are not used past this point
  }
  return Status::success();
}

Status PosixFileSystem::copyFile(const std::string& source, const std::string& destination) {
  struct stat st;
  std::string nativeSource, nativeTarget;
  if (int error = statPath(source, st, &nativeSource)) return failure(source, error);
  if (!S_ISREG(st.st_mode)) return failure(source, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  if (destination.empty()) return failure(destination, ENOENT);
  // Resolving finds an existing file whatever its case, so it is replaced under its own name.
  nativeTarget = resolvePath(destination);
  if (stat(nativeTarget.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    return failure(destination, EISDIR);

  std::size_t slash = nativeTarget.rfind('/');
  std::string folder = slash == std::string::npos ? "." : nativeTarget.substr(0, slash + 1);
  TargetFolder leftovers;
  leftovers.load(folder);  // a folder it cannot list is reported by the copy itself
  return copyRegular(nativeSource, nativeTarget, source, destination);
}

Status PosixFileSystem::readFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  if (path.empty()) return failure(path, ENOENT);
  int fd = open(resolvePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return failure(path, errno);
  if (int error = regularOrError(fd)) {
    close(fd);
    return failure(path, error);
  }
  struct stat st;
  if (fstat(fd, &st) == 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[64 * 1024];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      close(fd);
      bytes.clear();
      return failure(path, error);
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return Status::success();
}

}  // namespace inst
