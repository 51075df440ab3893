#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/lock.h"
#include "text/status.h"

namespace inst {

// The prefix of the temporary file written beside a target before the rename that replaces it.
// A file with it is a leftover of an interrupted write: it may be removed, and is never part of
// a package.
inline constexpr std::string_view kTempFilePrefix = ".instalador-tmp-";

struct SubFolder {
  std::string name;  // last path component, as the file system spells it
  std::string path;  // full path, no trailing separator
};

// No real INI file or information text comes near this size; a larger one is refused rather
// than read into memory.
inline constexpr std::uint64_t kMaxTextFileBytes = std::uint64_t{16} << 20;

// A name in a folder as it is, a link not followed: what the package check looks at.
struct FolderEntry {
  enum class Kind { File, Folder, Link, Other };  // Other: a pipe, a device, a socket
  std::string name;
  Kind kind = Kind::Other;
  std::string linkText;     // a link's target as the link spells it
  bool linkLeaves = false;  // a link whose target lies outside the folder asked about
};

// A file read from its start to its end in pieces, whatever its size.
class FileReader {
 public:
  virtual ~FileReader() = default;
  // Up to `size` bytes into `buffer`; `got` is 0 at the end of the file.
  virtual Status read(char* buffer, std::size_t size, std::size_t& got) = 0;
};

// Told about every file a folder copy handles, in the order it handles them.
class CopyWatcher {
 public:
  virtual ~CopyWatcher() = default;
  // `to` is the name the copy writes: a file that exists under another case keeps its own.
  // `result` is the copy's outcome; when only planning, success means it would be copied.
  virtual void fileCopied(const std::string& from, const std::string& to, const Status& result) = 0;
};

// The file-system service. Paths are Windows paths in program text (UTF-8): "\" separates
// components and every component is resolved without regard to letter case.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // A file (not a folder) of that path exists, whatever its attributes.
  virtual bool fileExists(const std::string& path) = 0;
  // A file with normal attributes exists: folders, hidden and system files do not count.
  virtual bool normalFileExists(const std::string& path) = 0;
  virtual bool folderExists(const std::string& path) = 0;
  // Anything of that path exists: a file, a folder, or something that is neither (a pipe, a
  // device), which is no file to read.
  virtual bool pathExists(const std::string& path) {
    return fileExists(path) || folderExists(path);
  }

  // Takes the lock of an installation's file work on the file `path` (made when missing), and
  // holds it until `held` goes; another run waits for it, a while. A file system that writes
  // nothing (a dry run's) takes none and makes no file.
  virtual Status lockFile(const std::string& path, std::unique_ptr<FileLock>& held) {
    (void)path;
    held.reset();
    return Status::success();
  }

  // The direct subfolders in NTFS order (names compared upper-cased, ordinal).
  virtual Status subFolders(const std::string& path, std::vector<SubFolder>& out) = 0;

  // Everything inside `source` (files and subfolders at any depth) into `destination`,
  // replacing files that exist there; files the source lacks stay. Overwrite is always on.
  virtual Status copyFolder(const std::string& source, const std::string& destination) = 0;
  // copyFolder that tells `watcher` about each file. With `planOnly` nothing at all is written
  // (no folder made, no file copied, no leftover removed): the files that would be copied are
  // reported, and what fails without writing (a missing source, a destination whose parent is
  // missing, a file where a folder must go, a loop) fails as the copy would.
  virtual Status copyFolderWatched(const std::string& source, const std::string& destination,
                                   CopyWatcher& watcher, bool planOnly) {
    (void)watcher;
    if (planOnly) return Status::failure(destination, "this file system cannot plan a copy");
    return copyFolder(source, destination);
  }
  // What a dry run asks before it plans a copy or an INI edit: the failure the real operation
  // would meet and that shows without writing, with the reason the operation would give, or
  // success. Nothing is written, opened for writing or removed.
  // planRead: `path` as the source of copyFile (missing, no regular file, unreadable).
  virtual Status planRead(const std::string& path) {
    if (fileExists(path)) return Status::success();
    return Status::failure(path, folderExists(path) ? "é uma pasta" : "não existe");
  }
  // planReplace: a new file put at `path` through a temporary file and a rename (its folder
  // missing, a folder in its place, a read-only file). `readFirst`: an edit reads the file
  // first when it is there, so it must also be a regular file that can be read.
  virtual Status planReplace(const std::string& path, bool readFirst) {
    (void)readFirst;
    if (folderExists(path)) return Status::failure(path, "é uma pasta");
    return Status::success();
  }

  // The names in the folder `path` in NTFS order, links not followed; a link's linkLeaves says
  // that its target (resolved) is not inside the folder `within`, or resolves to nothing.
  virtual Status listEntries(const std::string& path, const std::string& within,
                             std::vector<FolderEntry>& out) {
    (void)within;
    out.clear();
    return Status::failure(path, "this file system cannot list names");
  }

  // One file, replacing an existing destination. Overwrite is always on.
  virtual Status copyFile(const std::string& source, const std::string& destination) = 0;

  // The whole file's bytes: only a regular file, of at most kMaxTextFileBytes, is read.
  virtual Status readFile(const std::string& path, std::string& bytes) = 0;

  // What keeping and undoing an installation's changes needs. Every change is on the disk
  // when the call returns (the folder's entry too).
  // A regular file, of any size, opened for reading.
  virtual Status openRead(const std::string& path, std::unique_ptr<FileReader>& reader) {
    reader.reset();
    return Status::failure(path, "this file system cannot read in pieces");
  }
  // The folder and every missing folder above it; success when it is there already.
  virtual Status makeFolders(const std::string& path) {
    return Status::failure(path, "this file system cannot make folders");
  }
  // Removes a file, never a folder; a file that is not there is success.
  virtual Status removeFile(const std::string& path) {
    return Status::failure(path, "this file system cannot remove files");
  }
  // Removes a folder that is empty; one with anything in it stays, and that is a failure.
  virtual Status removeFolder(const std::string& path) {
    return Status::failure(path, "this file system cannot remove folders");
  }
  // Whether the folder has nothing in it.
  virtual Status folderIsEmpty(const std::string& path, bool& empty) {
    std::vector<FolderEntry> entries;
    Status st = listEntries(path, path, entries);
    empty = st && entries.empty();
    return st;
  }
  // `bytes` as the file `path`, new or in place of the old one, through a temporary file and
  // one rename. Its folder must be there.
  virtual Status writeFile(const std::string& path, const std::string& bytes) {
    (void)bytes;
    return Status::failure(path, "this file system cannot write files");
  }
  // copyFile for keeping a file of the user's before it is replaced, and for bringing it back:
  // the same copy, which the log and a dry run's plan name for what it is.
  virtual Status backupFile(const std::string& source, const std::string& destination) {
    return copyFile(source, destination);
  }
  virtual Status restoreFile(const std::string& source, const std::string& destination) {
    return copyFile(source, destination);
  }
};

}  // namespace inst
