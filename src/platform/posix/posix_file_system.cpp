#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <unordered_map>
#include <utility>

#include "platform/lock.h"
#include "platform/posix/native_path.h"
#include "platform/windows_path.h"

namespace inst {
namespace {

using posix::resolvePath;

Status failure(const std::string& shown, int error) {
  return Status::failure(shown, posix::reasonText(error));
}

std::string lastComponent(const std::string& nativePath) {
  std::size_t slash = nativePath.rfind('/');
  return slash == std::string::npos ? nativePath : nativePath.substr(slash + 1);
}

bool startsWithTempPrefix(std::string_view name) {
  return name.starts_with(kTempFilePrefix);
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
  return S_ISDIR(st.st_mode) ? EISDIR : posix::kNotRegularError;
}

// Opens a folder for listing and for the operations on its names. Returns 0 or errno.
int openFolder(int at, const char* path, posix::Descriptor& out) {
  out.reset(openat(at, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return out ? 0 : errno;
}

struct Entry {
  std::string name;
  std::string upper;   // as NTFS compares it; filled in by sortNtfs
  unsigned char type;  // d_type: DT_UNKNOWN when the file system does not say
};

// The names in an open folder, "." and ".." left out. Returns 0 or errno.
int listFolder(int folder, std::vector<Entry>& out) {
  // Through a duplicate, which shares the position in the listing: every folder is listed once,
  // right after it was opened. (Opening "." anew would need search permission, which a plain
  // listing does not.)
  posix::Descriptor own(fcntl(folder, F_DUPFD_CLOEXEC, 0));
  if (!own) return errno;
  DIR* dir = fdopendir(own.get());
  if (!dir) return errno;
  own.release();  // closedir closes it now
  errno = 0;
  while (dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") out.push_back({std::string(name), {}, entry->d_type});
    errno = 0;
  }
  int error = errno;
  closedir(dir);
  return error;
}

void sortNtfs(std::vector<Entry>& entries) {
  for (Entry& e : entries) e.upper = posix::upperName(e.name);
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    if (a.upper != b.upper) return a.upper < b.upper;
    return a.name < b.name;
  });
}

bool isFolder(int folder, const Entry& e) {
  if (e.type == DT_DIR) return true;
  if (e.type != DT_LNK && e.type != DT_UNKNOWN) return false;
  struct stat st;
  return fstatat(folder, e.name.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
}

struct FolderId {
  dev_t dev;
  ino_t ino;
  auto operator<=>(const FolderId&) const = default;
};

FolderId idOf(const struct stat& st) {
  return {st.st_dev, st.st_ino};
}

// Opens the entry `e` of `folder`, following links as Windows does, when it is a file or a
// folder; anything else (a pipe, a device, a socket) is only looked at, never opened. Returns 0
// with `st` describing what the name is (and `out` open when it is a file or a folder), or errno.
int openEntry(int folder, const Entry& e, posix::Descriptor& out, struct stat& st) {
  if (e.type != DT_REG && e.type != DT_DIR) {
    if (fstatat(folder, e.name.c_str(), &st, 0) != 0) return errno;
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return 0;
  }
  // O_NONBLOCK: a pipe put in place of the file after the listing must not hang the copy.
  out.reset(openat(folder, e.name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!out) return errno;
  return fstat(out.get(), &st) == 0 ? 0 : errno;
}

// The files of a folder copy written to their temporary files and waiting for their renames.
// Flushing each file on its own costs a journal commit per file, many times the copy itself; one
// flush of the file system for many files puts every one on the disk before any is renamed, and
// one more after the renames puts the folders there too.
class Batch {
 public:
  // Few enough that the leftovers of a killed run stay few.
  static constexpr std::size_t kLimit = 4096;

  struct Pending {
    std::shared_ptr<posix::Descriptor> folder;
    std::string temp, target, from, to;
  };

  bool full() const { return pending_.size() >= kLimit; }
  void add(Pending p) { pending_.push_back(std::move(p)); }
  // A folder the copy made, `shown` as the user's paths spell it: its name is flushed with the
  // files, or alone when no file follows it.
  void made(int folder, const std::string& shown) {
    if (madeShown_.empty()) {
      made_.reset(fcntl(folder, F_DUPFD_CLOEXEC, 0));
      madeShown_ = shown;
    }
  }

  // Flushes, renames and tells `watcher` of each file in the order they were copied; stops at
  // the first rename that fails (the files after it are removed, not installed). A flush that
  // fails fails the copy: before the renames nothing is installed, after them the copy is not
  // known to be on the disk.
  Status commit(CopyWatcher& watcher) {
    if (pending_.empty()) {
      Status result = Status::success();
      if (!madeShown_.empty() && syncfs(made_.get()) != 0) result = failure(madeShown_, errno);
      madeShown_.clear();
      return result;
    }
    Status result = syncAll();
    std::size_t i = 0;  // the files before it are renamed, or were removed by a failed rename
    while (result && i < pending_.size()) {
      const Pending& p = pending_[i++];
      if (int error = posix::renameTempAt(p.folder->get(), p.temp, p.target))
        result = failure(p.to, error);
      watcher.fileCopied(p.from, p.to, result);
    }
    for (; i < pending_.size(); ++i)
      unlinkat(pending_[i].folder->get(), pending_[i].temp.c_str(), 0);
    if (Status synced = syncAll(); result && !synced) result = synced;
    pending_.clear();
    madeShown_.clear();
    return result;
  }

  ~Batch() {
    for (const Pending& p : pending_) unlinkat(p.folder->get(), p.temp.c_str(), 0);
  }

 private:
  // One syncfs per file system the files and the folder made lie on; the first that fails
  // names the file whose file system it is.
  Status syncAll() {
    std::set<dev_t> done;
    const posix::Descriptor* last = nullptr;
    auto sync = [&](int fd, const std::string& shown) {
      struct stat st;
      if (fstat(fd, &st) == 0 && !done.insert(st.st_dev).second) return Status::success();
      return syncfs(fd) == 0 ? Status::success() : failure(shown, errno);
    };
    if (!madeShown_.empty())
      if (Status s = sync(made_.get(), madeShown_); !s) return s;
    for (const Pending& p : pending_) {
      if (p.folder.get() == last) continue;
      last = p.folder.get();
      if (Status s = sync(last->get(), p.to); !s) return s;
    }
    return Status::success();
  }

  std::vector<Pending> pending_;
  posix::Descriptor made_;
  std::string madeShown_;
};

// Copies the open regular file `in` to a temporary file beside the file `name` of `folder`,
// left for `batch` to rename. Returns 0 or errno.
int copyRegular(int in, const std::shared_ptr<posix::Descriptor>& folder, const std::string& name,
                bool knownNew, Batch::Pending& out) {
  std::string tempName;
  int error = 0;
  int fd = posix::openTempAt(folder->get(), tempName, error);
  if (fd < 0) return error;
  if ((error = posix::copyBytes(in, fd))) {
    close(fd);
    unlinkat(folder->get(), tempName.c_str(), 0);
    return error;
  }
  if ((error = posix::closeTempAt(fd, folder->get(), tempName, name, knownNew, false)))
    return error;
  out.folder = folder;
  out.temp = std::move(tempName);
  out.target = name;
  return 0;
}

// A destination folder as the copy sees it: its names by upper-cased name, so that a file or
// folder of the package lands on the one that is already there whatever its case. Leftovers of
// interrupted writes are removed on the way.
struct TargetFolder {
  std::unordered_map<std::string, std::string> byUpper;

  int load(int folder, bool removeLeftovers = true) {
    std::vector<Entry> entries;
    if (int error = listFolder(folder, entries)) return error;
    for (const Entry& e : entries) {
      if (startsWithTempPrefix(e.name) && e.type != DT_DIR) {
        if (removeLeftovers && posix::isOrphanTemp(e.name)) unlinkat(folder, e.name.c_str(), 0);
        continue;
      }
      auto [it, added] = byUpper.try_emplace(posix::upperName(e.name), e.name);
      if (!added && posix::ntfsLess(e.name, it->second)) it->second = e.name;
    }
    return 0;
  }

  // The existing name matching the entry ignoring case, or the entry's own name when there is
  // none (which it becomes from now on, so that a later name equal but for case lands on it).
  // `isNew` tells the second case.
  const std::string& claim(const Entry& e, bool& isNew) {
    auto [it, added] = byUpper.try_emplace(e.upper, e.name);
    isNew = added;
    return it->second;
  }
};

// A folder being copied. Both folders stay open while their names are handled, and every
// operation on a name goes relative to them. When only planning, a target folder that the copy
// would make does not exist: `target` is then closed and every name in it is new.
struct Frame {
  posix::Descriptor source, target;
  std::string shownSource, shownTarget;  // as the user's paths spell them
  FolderId id;
  std::vector<Entry> entries;
  std::size_t next = 0;
  TargetFolder existing;
  std::shared_ptr<posix::Descriptor> batchTarget;  // `target` as the batch holds it, once needed
  int planWriteError = -1;  // a plan's answer to "can the copy write here", once asked
};

// What writing a new name into the existing target folder of `f` would meet: 0 or errno.
int planWriteIn(Frame& f) {
  if (f.planWriteError < 0)
    f.planWriteError = faccessat(f.target.get(), ".", W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
  return f.planWriteError;
}

// What copying a file over `name` of the target folder of `f` would meet before its bytes are
// written: a folder where it can make no file, a folder of that name, a read-only file (refused
// as Windows refuses it). 0 or errno.
int planFileIn(Frame& f, const std::string& name, bool isNew) {
  if (!f.target) return 0;  // the folder is one the copy makes: everything in it is new
  if (int error = planWriteIn(f)) return error;
  struct stat st;
  if (isNew || fstatat(f.target.get(), name.c_str(), &st, 0) != 0) return 0;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) return EACCES;
  return 0;
}

// What replacing the file `native` would meet: a folder in its place, a read-only file, its
// folder missing or closed to writing. 0 or errno.
int planReplaceNative(const std::string& native) {
  struct stat st;
  if (stat(native.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) return EACCES;
  }
  const std::size_t slash = native.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : native.substr(0, slash + 1);
  if (stat(folder.c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  return faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

Status openFrame(Frame& f, bool planOnly) {
  if (int error = listFolder(f.source.get(), f.entries)) return failure(f.shownSource, error);
  sortNtfs(f.entries);  // the same order, and so the same first failure, as on Windows
  if (!f.target) return Status::success();
  if (int error = f.existing.load(f.target.get(), !planOnly)) return failure(f.shownTarget, error);
  return Status::success();
}

struct NoWatcher final : CopyWatcher {
  void fileCopied(const std::string&, const std::string&, const Status&) override {}
};

// Opens the folder `name` of `parent`, made first when the listing lacks it, or when it went
// since (then `made` says so). Returns 0 or errno.
int openOrMakeFolder(int parent, const std::string& name, bool isNew, posix::Descriptor& out,
                     bool& made) {
  int error = isNew ? ENOENT : openFolder(parent, name.c_str(), out);
  if (error == ENOENT) {
    if (mkdirat(parent, name.c_str(), 0777) != 0) return errno;
    made = true;
    error = openFolder(parent, name.c_str(), out);
  }
  return error == ENOTDIR ? EEXIST : error;  // a file holds the name the folder needs
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

bool PosixFileSystem::pathExists(const std::string& path) {
  struct stat st;
  return statPath(path, st) == 0;
}

Status PosixFileSystem::lockFile(const std::string& path, std::unique_ptr<FileLock>& held) {
  return LockFileExclusive(path, LockWait(), held);
}

bool PosixFileSystem::folderExists(const std::string& path) {
  struct stat st;
  return statPath(path, st) == 0 && S_ISDIR(st.st_mode);
}

Status PosixFileSystem::subFolders(const std::string& path, std::vector<SubFolder>& out) {
  out.clear();
  if (path.empty()) return failure(path, ENOENT);
  std::string base = ShownBase(path);
  posix::Descriptor folder;
  std::vector<Entry> entries;
  if (int error = openFolder(AT_FDCWD, resolvePath(path).c_str(), folder))
    return failure(base, error);
  if (int error = listFolder(folder.get(), entries)) return failure(base, error);
  std::erase_if(entries, [&](const Entry& e) { return !isFolder(folder.get(), e); });
  sortNtfs(entries);
  out.reserve(entries.size());
  for (Entry& e : entries) {
    std::string full = ShownChild(base, e.name);
    out.push_back({std::move(e.name), std::move(full)});
  }
  return Status::success();
}

Status PosixFileSystem::copyFolder(const std::string& source, const std::string& destination) {
  NoWatcher none;
  return copyFolderWatched(source, destination, none, false);
}

namespace {

Status copyTree(const std::string& source, const std::string& destination, CopyWatcher& watcher,
                bool planOnly, Batch& batch) {
  const std::string shownSource = ShownBase(source), shownTarget = ShownBase(destination);
  struct stat st;
  posix::Descriptor sourceFolder, targetFolder;
  if (source.empty()) return failure(shownSource, ENOENT);
  if (int error = openFolder(AT_FDCWD, resolvePath(source).c_str(), sourceFolder))
    return failure(shownSource, error);
  if (fstat(sourceFolder.get(), &st) != 0) return failure(shownSource, errno);
  const FolderId sourceId = idOf(st);

  if (destination.empty()) return failure(shownTarget, ENOENT);
  const std::string nativeTarget = resolvePath(destination);
  int error = openFolder(AT_FDCWD, nativeTarget.c_str(), targetFolder);
  if (error == ENOENT && planOnly) {
    const std::size_t slash = nativeTarget.find_last_of('/');
    const std::string parent = slash == std::string::npos ? "." : nativeTarget.substr(0, slash + 1);
    error = stat(parent.c_str(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (!error && faccessat(AT_FDCWD, parent.c_str(), W_OK | X_OK, AT_EACCESS) != 0) error = errno;
  } else if (error == ENOENT) {
    // Only the folder itself: a missing parent stays an error.
    error = mkdir(nativeTarget.c_str(), 0777) == 0
                ? openFolder(AT_FDCWD, nativeTarget.c_str(), targetFolder)
                : errno;
    if (!error) batch.made(targetFolder.get(), shownTarget);
  }
  if (error) return failure(shownTarget, error);
  // A planned folder that does not exist yet is nobody's: no id to meet again.
  FolderId targetId{};
  if (targetFolder) {
    if (fstat(targetFolder.get(), &st) != 0) return failure(shownTarget, errno);
    targetId = idOf(st);
    if (targetId == sourceId) return Status::success();  // every file already is its own copy
  }

  // Iterative, so that depth costs heap, not stack. `open` holds the folders being copied, from
  // the root down: meeting one of them again is a cycle.
  std::set<FolderId> open{sourceId};
  std::vector<Frame> stack;
  stack.push_back({std::move(sourceFolder),
                   std::move(targetFolder),
                   shownSource,
                   shownTarget,
                   sourceId,
                   {},
                   0,
                   {},
                   {}});
  if (Status s = openFrame(stack.back(), planOnly); !s) return s;

  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next == f.entries.size()) {
      open.erase(f.id);
      stack.pop_back();  // closes both folders
      continue;
    }
    const Entry& e = f.entries[f.next++];
    if (startsWithTempPrefix(e.name)) continue;  // never part of a package
    posix::Descriptor in;
    // A plan opens only the folders it walks into; a file is only looked at.
    int error = 0;
    if (!planOnly) {
      error = openEntry(f.source.get(), e, in, st);
    } else if (fstatat(f.source.get(), e.name.c_str(), &st, 0) != 0) {
      error = errno;
    } else if (S_ISDIR(st.st_mode)) {
      error = openEntry(f.source.get(), e, in, st);
    } else if (S_ISREG(st.st_mode) &&
               faccessat(f.source.get(), e.name.c_str(), R_OK, AT_EACCESS) != 0) {
      error = errno;  // the copy could not open it
    }
    if (error) return failure(ShownChild(f.shownSource, e.name), error);

    if (S_ISREG(st.st_mode)) {
      bool isNew = false;
      const std::string& targetName = f.existing.claim(e, isNew);
      std::string from = ShownChild(f.shownSource, e.name);
      std::string to = ShownChild(f.shownTarget, targetName);
      if (planOnly) {
        Status result = Status::success();
        if (int error = planFileIn(f, targetName, isNew)) result = failure(to, error);
        watcher.fileCopied(from, to, result);
        if (!result) return result;
        continue;
      }
      if (!f.batchTarget)
        f.batchTarget =
            std::make_shared<posix::Descriptor>(fcntl(f.target.get(), F_DUPFD_CLOEXEC, 0));
      Batch::Pending pending;
      int error = *f.batchTarget ? 0 : errno;
      if (!error) error = copyRegular(in.get(), f.batchTarget, targetName, isNew, pending);
      if (error) {
        // What was copied before it is installed, as if each file had been renamed at once.
        if (Status s = batch.commit(watcher); !s) return s;
        Status result = failure(to, error);
        watcher.fileCopied(from, to, result);
        return result;
      }
      pending.from = std::move(from);
      pending.to = std::move(to);
      batch.add(std::move(pending));
      if (batch.full()) {
        if (Status s = batch.commit(watcher); !s) return s;
      }
      continue;
    }
    if (!S_ISDIR(st.st_mode)) continue;

    const FolderId id = idOf(st);
    if (f.target && id == targetId) continue;  // the destination lies inside the source
    if (open.contains(id)) return failure(ShownChild(f.shownSource, e.name), ELOOP);

    bool isNew = false;
    const std::string& targetName = f.existing.claim(e, isNew);
    posix::Descriptor out;
    if (planOnly) {
      int error = !f.target || isNew ? ENOENT : openFolder(f.target.get(), targetName.c_str(), out);
      if (error == ENOTDIR) error = EEXIST;  // a file holds the name the folder needs
      if (error == ENOENT && f.target) error = planWriteIn(f);  // the copy would make it here
      if (error && error != ENOENT) return failure(ShownChild(f.shownTarget, targetName), error);
    } else {
      bool made = false;
      if (int error = openOrMakeFolder(f.target.get(), targetName, isNew, out, made))
        return failure(ShownChild(f.shownTarget, targetName), error);
      if (made) batch.made(f.target.get(), ShownChild(f.shownTarget, targetName));
    }

    Frame child{std::move(in),
                std::move(out),
                ShownChild(f.shownSource, e.name),
                ShownChild(f.shownTarget, targetName),
                id,
                {},
                0,
                {},
                {}};
    if (Status s = openFrame(child, planOnly); !s) return s;
    open.insert(id);
    stack.push_back(std::move(child));  // `f` and `e` are not used past this point
  }
  return Status::success();
}

}  // namespace

Status PosixFileSystem::copyFolderWatched(const std::string& source, const std::string& destination,
                                          CopyWatcher& watcher, bool planOnly) {
  Batch batch;
  Status result = copyTree(source, destination, watcher, planOnly, batch);
  // A failure that is no file's (a folder that cannot be made) still installs what came before.
  Status committed = batch.commit(watcher);
  return result ? committed : result;
}

Status PosixFileSystem::copyFile(const std::string& source, const std::string& destination) {
  struct stat st;
  std::string nativeSource;
  if (int error = statPath(source, st, &nativeSource)) return failure(source, error);
  if (!S_ISREG(st.st_mode))
    return failure(source, S_ISDIR(st.st_mode) ? EISDIR : posix::kNotRegularError);
  if (destination.empty()) return failure(destination, ENOENT);
  // Resolving finds an existing file whatever its case, so it is replaced under its own name.
  const std::string nativeTarget = resolvePath(destination);
  if (stat(nativeTarget.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    return failure(destination, EISDIR);

  // O_NONBLOCK: a pipe put in place of the file after the check must not hang the copy.
  posix::Descriptor in(open(nativeSource.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!in) return failure(source, errno);
  if (int error = regularOrError(in.get())) return failure(source, error);

  // The folder is only written in: it need not be readable, so it is opened as a place, and
  // listed (for leftovers) only when it can be.
  const std::size_t slash = nativeTarget.rfind('/');
  const std::string folderPath =
      slash == std::string::npos ? "." : nativeTarget.substr(0, slash + 1);
  posix::Descriptor folder(open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folder) return failure(destination, errno);
  if (posix::Descriptor listing; openFolder(folder.get(), ".", listing) == 0) {
    TargetFolder leftovers;
    leftovers.load(listing.get());
  }
  std::string tempName;
  int error = 0;
  int out = posix::openTempAt(folder.get(), tempName, error);
  if (out < 0) return failure(destination, error);
  if ((error = posix::copyBytes(in.get(), out))) {
    close(out);
    unlinkat(folder.get(), tempName.c_str(), 0);
    return failure(destination, error);
  }
  if ((error = posix::commitTempAt(out, folder.get(), tempName, lastComponent(nativeTarget))))
    return failure(destination, error);
  return Status::success();
}

Status PosixFileSystem::listEntries(const std::string& path, const std::string& within,
                                    std::vector<FolderEntry>& out) {
  out.clear();
  posix::Descriptor folder;
  std::vector<Entry> entries;
  if (int error = openFolder(AT_FDCWD, resolvePath(path).c_str(), folder))
    return failure(path, error);
  if (int error = listFolder(folder.get(), entries)) return failure(path, error);
  sortNtfs(entries);
  std::string root;
  if (char* real = realpath(resolvePath(within).c_str(), nullptr)) {
    root.assign(real).push_back('/');
    std::free(real);
  }
  for (Entry& e : entries) {
    struct stat st;
    if (fstatat(folder.get(), e.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    FolderEntry entry{std::move(e.name), FolderEntry::Kind::Other, {}, false};
    if (S_ISREG(st.st_mode)) entry.kind = FolderEntry::Kind::File;
    if (S_ISDIR(st.st_mode)) entry.kind = FolderEntry::Kind::Folder;
    if (S_ISLNK(st.st_mode)) {
      entry.kind = FolderEntry::Kind::Link;
      char text[4096];
      const ssize_t n = readlinkat(folder.get(), entry.name.c_str(), text, sizeof text);
      entry.linkText.assign(text, n > 0 ? static_cast<std::size_t>(n) : 0);
      const std::string native = resolvePath(path) + "/" + entry.name;
      char* target = realpath(native.c_str(), nullptr);
      entry.linkLeaves = !target || root.empty() || !(std::string(target) + "/").starts_with(root);
      std::free(target);
    }
    out.push_back(std::move(entry));
  }
  return Status::success();
}

Status PosixFileSystem::planRead(const std::string& path) {
  struct stat st;
  std::string native;
  if (int error = statPath(path, st, &native)) return failure(path, error);
  if (!S_ISREG(st.st_mode)) return failure(path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  if (faccessat(AT_FDCWD, native.c_str(), R_OK, AT_EACCESS) != 0) return failure(path, errno);
  return Status::success();
}

Status PosixFileSystem::planReplace(const std::string& path, bool readFirst) {
  if (path.empty()) return failure(path, ENOENT);
  const std::string native = resolvePath(path);
  // Only looked at, never opened: not even a pipe's writer may notice a plan.
  struct stat st;
  if (readFirst && stat(native.c_str(), &st) == 0) {
    // Refused as the profile writer refuses it when it reads the file first.
    if (!S_ISREG(st.st_mode)) return failure(path, posix::kNotRegularError);
    if (static_cast<std::uint64_t>(st.st_size) > kMaxTextFileBytes)
      return failure(path, posix::kTooLargeError);
    if (faccessat(AT_FDCWD, native.c_str(), R_OK, AT_EACCESS) != 0) return failure(path, errno);
  } else if (readFirst && errno != ENOENT && errno != ENOTDIR) {
    return failure(path, errno);
  }
  if (int error = planReplaceNative(native)) return failure(path, error);
  return Status::success();
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
  if (fstat(fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) > kMaxTextFileBytes) {
    close(fd);
    return failure(path, posix::kTooLargeError);
  }
  bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[64 * 1024];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n > 0 && bytes.size() + static_cast<std::size_t>(n) > kMaxTextFileBytes) {
      close(fd);
      bytes.clear();
      return failure(path, posix::kTooLargeError);  // it grew while being read
    }
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

namespace {

// Puts a name just made or removed in the folder of `native` on the disk: 0 or errno.
int syncFolderOf(const std::string& native) {
  const std::size_t slash = native.rfind('/');
  return posix::flushFolder(AT_FDCWD,
                            slash == std::string::npos ? "." : native.substr(0, slash + 1).c_str());
}

class PosixReader final : public FileReader {
 public:
  PosixReader(posix::Descriptor fd, std::string path)
      : fd_(std::move(fd)), path_(std::move(path)) {}

  Status read(char* buffer, std::size_t size, std::size_t& got) override {
    got = 0;
    for (;;) {
      const ssize_t n = ::read(fd_.get(), buffer, size);
      if (n >= 0) {
        got = static_cast<std::size_t>(n);
        return Status::success();
      }
      if (errno != EINTR) return failure(path_, errno);
    }
  }

 private:
  posix::Descriptor fd_;
  std::string path_;
};

}  // namespace

Status PosixFileSystem::openRead(const std::string& path, std::unique_ptr<FileReader>& reader) {
  reader.reset();
  if (path.empty()) return failure(path, ENOENT);
  // O_NONBLOCK: a pipe in the file's place is refused below instead of waiting for a writer.
  posix::Descriptor fd(open(resolvePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) return failure(path, errno);
  if (int error = regularOrError(fd.get())) return failure(path, error);
  reader = std::make_unique<PosixReader>(std::move(fd), path);
  return Status::success();
}

Status PosixFileSystem::makeFolders(const std::string& path) {
  if (path.empty()) return failure(path, ENOENT);
  if (folderExists(path)) return Status::success();
  // The missing folders above first, each resolved anew, so an existing one of another case is
  // the one used; a file in the way fails naming itself.
  const std::string base = ShownBase(path);
  const std::size_t cut = base.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0) {
    if (Status s = makeFolders(base.substr(0, cut)); !s) return s;
  }
  const std::string native = resolvePath(base);
  if (mkdir(native.c_str(), 0777) != 0) {
    const int error = errno;
    struct stat st;
    if (error == EEXIST && stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      return Status::success();  // another process made it meanwhile
    return failure(base, error);
  }
  if (int error = syncFolderOf(native)) return failure(base, error);
  return Status::success();
}

Status PosixFileSystem::removeFile(const std::string& path) {
  if (path.empty()) return failure(path, ENOENT);
  const std::string native = resolvePath(path);
  struct stat st;
  if (lstat(native.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return Status::success();  // nothing to remove
    return failure(path, errno);
  }
  if (S_ISDIR(st.st_mode)) return failure(path, EISDIR);
  if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) return failure(path, EACCES);
  if (unlink(native.c_str()) != 0 && errno != ENOENT) return failure(path, errno);
  if (int error = syncFolderOf(native)) return failure(path, error);
  return Status::success();
}

Status PosixFileSystem::removeFolder(const std::string& path) {
  if (path.empty()) return failure(path, ENOENT);
  const std::string native = resolvePath(path);
  if (rmdir(native.c_str()) != 0) {
    if (errno == ENOENT) return Status::success();
    return failure(path, errno == EEXIST ? ENOTEMPTY : errno);
  }
  if (int error = syncFolderOf(native)) return failure(path, error);
  return Status::success();
}

Status PosixFileSystem::writeFile(const std::string& path, const std::string& bytes) {
  if (path.empty()) return failure(path, ENOENT);
  // Resolving finds an existing file whatever its case, so it is replaced under its own name.
  const std::string native = resolvePath(path);
  struct stat st;
  if (stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return failure(path, EISDIR);
  return posix::replaceFile(native, bytes, path);
}

}  // namespace inst
