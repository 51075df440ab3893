#include "platform/win32/win32_file_system.h"

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "platform/lock.h"
#include "platform/win32/in_use.h"
#include "platform/win32/long_path.h"
#include "platform/win32/wide.h"
#include "platform/windows_path.h"

namespace inst {
namespace {

const std::wstring kTempPrefix(kTempFilePrefix.begin(), kTempFilePrefix.end());

Status failure(const std::string& shown, DWORD error) {
  return Status::failure(shown, win32::errorText(error));
}

std::wstring wideChild(const std::wstring& folder, const std::wstring& name) {
  if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) return folder + name;
  return folder + L"\\" + name;
}

std::wstring systemPath(const std::wstring& path) {
  return win32::LongPath(path);
}

std::wstring systemPath(const std::string& utf8) {
  return win32::LongPath(utf8);
}

DWORD attributesOf(const std::wstring& path) {
  return GetFileAttributesW(path.c_str());
}

struct Entry {
  std::wstring name;
  DWORD attributes;
  bool folder() const { return attributes & FILE_ATTRIBUTE_DIRECTORY; }
};

// The names matching `pattern` ("folder\*" for all), "." and ".." left out.
DWORD find(const std::wstring& pattern, std::vector<Entry>& out) {
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                              nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  do {
    std::wstring_view name = data.cFileName;
    if (name != L"." && name != L"..") out.push_back({std::wstring(name), data.dwFileAttributes});
  } while (FindNextFileW(h, &data));
  DWORD error = GetLastError();
  FindClose(h);
  return error == ERROR_NO_MORE_FILES ? 0 : error;
}

DWORD listFolder(const std::wstring& folder, std::vector<Entry>& out) {
  DWORD error = find(systemPath(wideChild(folder, L"*")), out);
  // Only a drive root can hold nothing at all, not even "." and "..".
  if (error == ERROR_FILE_NOT_FOUND) {
    DWORD a = attributesOf(systemPath(folder));
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) return 0;
  }
  return error;
}

int compareNames(const std::wstring& a, const std::wstring& b, bool ignoreCase) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), ignoreCase ? TRUE : FALSE);
}

void sortNtfs(std::vector<Entry>& entries) {
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    int c = compareNames(a.name, b.name, true);
    if (c != CSTR_EQUAL) return c == CSTR_LESS_THAN;
    return compareNames(a.name, b.name, false) == CSTR_LESS_THAN;
  });
}

using FolderId = std::tuple<DWORD, DWORD, DWORD>;  // volume serial, file index high and low

DWORD folderId(const std::wstring& path, FolderId& id) {
  HANDLE h = CreateFileW(systemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  BY_HANDLE_FILE_INFORMATION info;
  DWORD error = GetFileInformationByHandle(h, &info) ? 0 : GetLastError();
  CloseHandle(h);
  if (!error) id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return error;
}

// The name under which `name` already exists in `folder`, whatever its case, with its attributes;
// `name` itself and INVALID_FILE_ATTRIBUTES when there is none.
std::wstring existingName(const std::wstring& folder, const std::wstring& name, DWORD& attributes) {
  attributes = INVALID_FILE_ATTRIBUTES;
  std::vector<Entry> found;
  if (find(systemPath(wideChild(folder, name)), found) != 0 || found.empty()) return name;
  attributes = found.front().attributes;
  return found.front().name;
}

void removeLeftovers(const std::wstring& folder) {
  std::vector<Entry> found;
  find(systemPath(wideChild(folder, kTempPrefix + L"*")), found);
  for (const Entry& e : found)
    if (!e.folder() && win32::isOrphanTemp(e.name))
      DeleteFileW(systemPath(wideChild(folder, e.name)).c_str());
}

// A new file of `bytes`, written and closed; 0 or the error (and then no file).
DWORD writeNew(const std::wstring& path, std::string_view bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD error = 0;
  while (!error && !bytes.empty()) {
    DWORD wrote = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    if (!WriteFile(h, bytes.data(), chunk, &wrote, nullptr)) error = GetLastError();
    bytes.remove_prefix(wrote);
  }
  CloseHandle(h);
  if (error) DeleteFileW(path.c_str());
  return error;
}

// Puts a copy of `source`, or `bytes` when there is no source, over `target` (existing or not)
// through a temporary file in `folder`.
Status copyThroughTemp(const std::wstring* source, std::string_view bytes,
                       const std::wstring& folder, const std::wstring& target,
                       const std::string& shownTarget) {
  // Refused as the rename would refuse it, also where the system lets a privileged user through.
  const DWORD was = attributesOf(systemPath(target));
  if (was != INVALID_FILE_ATTRIBUTES && (was & FILE_ATTRIBUTE_READONLY))
    return failure(shownTarget, ERROR_ACCESS_DENIED);
  static unsigned counter = 0;
  std::wstring temp;
  for (int attempt = 0;; ++attempt) {
    std::wstring suffix =
        win32::toWide(std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter));
    temp = systemPath(wideChild(folder, kTempPrefix + suffix));
    DWORD error = !source ? writeNew(temp, bytes) : win32::RetryCallWhileInUse(*source, [&] {
      return CopyFileW(systemPath(*source).c_str(), temp.c_str(), TRUE);
    });
    if (!error) break;
    if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 100)
      return failure(shownTarget, error);
  }
  // A read-only source must not make the installed file one that the next install cannot replace.
  DWORD a = attributesOf(temp);
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesW(temp.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
  if (DWORD error = win32::flushFile(temp)) {
    DeleteFileW(temp.c_str());
    return failure(shownTarget, error);
  }
  const std::wstring to = systemPath(target);
  if (DWORD error = win32::RetryCallWhileInUse(to, [&] {
        return MoveFileExW(temp.c_str(), to.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
      })) {
    DeleteFileW(temp.c_str());
    return failure(shownTarget, error);
  }
  return Status::success();
}

// copyThroughTemp to the file `destination`, whose existing name of another case is kept.
Status replaceFile(const std::wstring* source, std::string_view bytes,
                   const std::string& destination) {
  if (destination.empty()) return failure(destination, ERROR_PATH_NOT_FOUND);
  std::wstring target = win32::toWide(destination);
  std::size_t cut = target.find_last_of(L"\\/");
  std::wstring folder = cut == std::wstring::npos ? L"." : target.substr(0, cut);
  if (cut == 0 || (cut == 2 && target[1] == L':')) folder = target.substr(0, cut + 1);
  std::wstring name = cut == std::wstring::npos ? target : target.substr(cut + 1);
  DWORD existing;
  name = existingName(folder, name, existing);
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY))
    return failure(destination, ERROR_ACCESS_DENIED);
  removeLeftovers(folder);
  return copyThroughTemp(source, bytes, folder, wideChild(folder, name), destination);
}

struct Frame {
  std::wstring source, target;
  std::string shownSource, shownTarget;
  FolderId id;
  std::vector<Entry> entries;
  std::size_t next = 0;
};

Status openFrame(Frame& f, bool planOnly) {
  if (DWORD error = listFolder(f.source, f.entries)) return failure(f.shownSource, error);
  sortNtfs(f.entries);
  if (!planOnly) removeLeftovers(f.target);
  return Status::success();
}

struct NoWatcher final : CopyWatcher {
  void fileCopied(const std::string&, const std::string&, const Status&) override {}
};

bool parentIsFolder(const std::wstring& path) {
  std::size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos) return true;
  std::wstring parent = path.substr(0, cut);
  if (cut == 0 || (cut == 2 && path[1] == L':')) parent = path.substr(0, cut + 1);
  DWORD a = attributesOf(systemPath(parent));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// What replacing a file of these attributes would meet: a folder of its name, or a read-only
// file, which the rename is refused for. 0 or the error.
DWORD planReplaceExisting(DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
  return 0;
}

}  // namespace

bool Win32FileSystem::fileExists(const std::string& path) {
  if (path.empty()) return false;
  DWORD a = attributesOf(systemPath(path));
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::normalFileExists(const std::string& path) {
  if (path.empty() || path.find_first_of("*?") != std::string::npos) return false;
  DWORD a = attributesOf(systemPath(path));
  constexpr DWORD kNotNormal = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
  return a != INVALID_FILE_ATTRIBUTES && !(a & kNotNormal);
}

bool Win32FileSystem::pathExists(const std::string& path) {
  return !path.empty() && attributesOf(systemPath(path)) != INVALID_FILE_ATTRIBUTES;
}

Status Win32FileSystem::lockFile(const std::string& path, std::unique_ptr<FileLock>& held) {
  return LockFileExclusive(path, LockWait(), held);
}

bool Win32FileSystem::folderExists(const std::string& path) {
  if (path.empty()) return false;
  DWORD a = attributesOf(systemPath(path));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

Status Win32FileSystem::subFolders(const std::string& path, std::vector<SubFolder>& out) {
  out.clear();
  if (path.empty()) return failure(path, ERROR_PATH_NOT_FOUND);
  const std::string base = ShownBase(path);
  std::vector<Entry> entries;
  if (DWORD error = listFolder(win32::toWide(base), entries)) return failure(base, error);
  std::erase_if(entries, [](const Entry& e) { return !e.folder(); });
  sortNtfs(entries);
  out.reserve(entries.size());
  for (const Entry& e : entries) {
    std::string name = win32::toUtf8(e.name);
    std::string full = ShownChild(base, name);
    out.push_back({std::move(name), std::move(full)});
  }
  return Status::success();
}

Status Win32FileSystem::copyFolder(const std::string& source, const std::string& destination) {
  NoWatcher none;
  return copyFolderWatched(source, destination, none, false);
}

Status Win32FileSystem::copyFolderWatched(const std::string& source, const std::string& destination,
                                          CopyWatcher& watcher, bool planOnly) {
  const std::string shownSource = ShownBase(source), shownTarget = ShownBase(destination);
  if (source.empty()) return failure(source, ERROR_PATH_NOT_FOUND);
  if (destination.empty()) return failure(destination, ERROR_PATH_NOT_FOUND);
  const std::wstring wideSource = win32::toWide(shownSource);
  const std::wstring wideTarget = win32::toWide(shownTarget);

  DWORD a = attributesOf(systemPath(wideSource));
  if (a == INVALID_FILE_ATTRIBUTES) return failure(shownSource, GetLastError());
  if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return failure(shownSource, ERROR_DIRECTORY);
  a = attributesOf(systemPath(wideTarget));
  // When only planning, a target the copy would make does not exist, and has no id.
  bool targetExists = true;
  if (a == INVALID_FILE_ATTRIBUTES && planOnly) {
    if (!parentIsFolder(wideTarget)) return failure(shownTarget, ERROR_PATH_NOT_FOUND);
    targetExists = false;
  } else if (a == INVALID_FILE_ATTRIBUTES) {
    if (!CreateDirectoryW(systemPath(wideTarget).c_str(), nullptr))
      return failure(shownTarget, GetLastError());
  } else if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
    return failure(shownTarget, ERROR_DIRECTORY);
  }

  FolderId sourceId, targetId{};
  if (DWORD error = folderId(wideSource, sourceId)) return failure(shownSource, error);
  if (targetExists) {
    if (DWORD error = folderId(wideTarget, targetId)) return failure(shownTarget, error);
    if (sourceId == targetId) return Status::success();  // every file already is its own copy
  }

  // Iterative, so that depth costs heap, not stack; `open` holds the folders being copied.
  std::set<FolderId> open{sourceId};
  std::vector<Frame> stack;
  stack.push_back({wideSource, wideTarget, shownSource, shownTarget, sourceId, {}, 0});
  if (Status s = openFrame(stack.back(), planOnly); !s) return s;

  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next == f.entries.size()) {
      open.erase(f.id);
      stack.pop_back();
      continue;
    }
    const Entry& e = f.entries[f.next++];
    if (e.name.starts_with(kTempPrefix)) continue;  // never part of a package
    const std::wstring from = wideChild(f.source, e.name);
    const std::string shownFrom = ShownChild(f.shownSource, win32::toUtf8(e.name));
    DWORD existing;
    const std::wstring targetName = existingName(f.target, e.name, existing);
    const std::wstring to = wideChild(f.target, targetName);
    const std::string shownTo = ShownChild(f.shownTarget, win32::toUtf8(targetName));

    if (!e.folder()) {
      Status result = Status::success();
      if (!planOnly) {
        result = copyThroughTemp(&from, {}, f.target, to, shownTo);
      } else if (DWORD error = planReplaceExisting(existing)) {
        result = failure(shownTo, error);
      }
      watcher.fileCopied(shownFrom, shownTo, result);
      if (!result) return result;
      continue;
    }
    FolderId id;
    if (DWORD error = folderId(from, id)) return failure(shownFrom, error);
    if (targetExists && id == targetId) continue;  // the destination lies inside the source
    if (open.contains(id)) return failure(shownFrom, ERROR_CANT_RESOLVE_FILENAME);
    if (existing == INVALID_FILE_ATTRIBUTES) {
      if (!planOnly && !CreateDirectoryW(systemPath(to).c_str(), nullptr))
        return failure(shownTo, GetLastError());
    } else if (!(existing & FILE_ATTRIBUTE_DIRECTORY)) {
      return failure(shownTo, ERROR_ALREADY_EXISTS);
    }
    Frame child{from, to, shownFrom, shownTo, id, {}, 0};
    if (Status s = openFrame(child, planOnly); !s) return s;
    open.insert(id);
    stack.push_back(std::move(child));  // `f` and `e` are not used past this point
  }
  return Status::success();
}

Status Win32FileSystem::copyFile(const std::string& source, const std::string& destination) {
  if (source.empty()) return failure(source, ERROR_FILE_NOT_FOUND);
  DWORD a = attributesOf(systemPath(source));
  if (a == INVALID_FILE_ATTRIBUTES) return failure(source, GetLastError());
  if (a & FILE_ATTRIBUTE_DIRECTORY) return failure(source, ERROR_ACCESS_DENIED);

  const std::wstring from = win32::toWide(source);
  return replaceFile(&from, {}, destination);
}

namespace {

// The path the system resolves `path` to, links followed; empty when it resolves to nothing.
std::wstring finalPath(const std::wstring& path) {
  HANDLE h = CreateFileW(systemPath(path).c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::wstring out(32768, L'\0');
  DWORD n = GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()), 0);
  CloseHandle(h);
  out.resize(n < out.size() ? n : 0);
  return out;
}

}  // namespace

Status Win32FileSystem::listEntries(const std::string& path, const std::string& within,
                                    std::vector<FolderEntry>& out) {
  out.clear();
  const std::wstring folder = win32::toWide(ShownBase(path));
  std::vector<Entry> entries;
  if (DWORD error = listFolder(folder, entries)) return failure(path, error);
  sortNtfs(entries);
  const std::wstring root = finalPath(win32::toWide(within)) + L"\\";
  for (const Entry& e : entries) {
    FolderEntry entry{win32::toUtf8(e.name), FolderEntry::Kind::File, {}, false};
    if (e.folder()) entry.kind = FolderEntry::Kind::Folder;
    if (e.attributes & FILE_ATTRIBUTE_DEVICE) entry.kind = FolderEntry::Kind::Other;
    if (e.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      entry.kind = FolderEntry::Kind::Link;
      const std::wstring target = finalPath(wideChild(folder, e.name)) + L"\\";
      entry.linkText = win32::toUtf8(target.substr(0, target.size() - 1));
      entry.linkLeaves = target.size() == 1 || root.size() == 1 || target.size() < root.size() ||
                         compareNames(target.substr(0, root.size()), root, true) != CSTR_EQUAL;
    }
    out.push_back(std::move(entry));
  }
  return Status::success();
}

Status Win32FileSystem::planRead(const std::string& path) {
  if (path.empty()) return failure(path, ERROR_FILE_NOT_FOUND);
  DWORD a = attributesOf(systemPath(path));
  if (a == INVALID_FILE_ATTRIBUTES) return failure(path, GetLastError());
  if (a & FILE_ATTRIBUTE_DIRECTORY) return failure(path, ERROR_ACCESS_DENIED);
  return Status::success();
}

Status Win32FileSystem::planReplace(const std::string& path, bool) {
  if (path.empty()) return failure(path, ERROR_PATH_NOT_FOUND);
  const std::wstring target = win32::toWide(path);
  const DWORD a = attributesOf(systemPath(target));
  if (a == INVALID_FILE_ATTRIBUTES && !parentIsFolder(target))
    return failure(path, ERROR_PATH_NOT_FOUND);
  if (DWORD error = planReplaceExisting(a)) return failure(path, error);
  return Status::success();
}

namespace {

// Only a file on a disk is opened: a device, a pipe or a console would read forever.
Status openToRead(const std::string& path, HANDLE& h) {
  h = INVALID_HANDLE_VALUE;
  if (path.empty()) return failure(path, ERROR_FILE_NOT_FOUND);
  // A file that another program holds is waited for here too: a change reads its file first.
  const std::wstring wide = systemPath(path);
  if (DWORD error = win32::RetryWhileInUse(wide, [&]() -> DWORD {
        h = CreateFileW(wide.c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        return h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
      }))
    return failure(path, error);
  if (GetFileType(h) == FILE_TYPE_DISK) return Status::success();
  CloseHandle(h);
  h = INVALID_HANDLE_VALUE;
  return Status::failure(path, win32::kNotRegular);
}

class Win32Reader final : public FileReader {
 public:
  Win32Reader(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
  Win32Reader(const Win32Reader&) = delete;
  Win32Reader& operator=(const Win32Reader&) = delete;
  ~Win32Reader() override { CloseHandle(h_); }

  Status read(char* buffer, std::size_t size, std::size_t& got) override {
    DWORD n = 0;
    got = 0;
    if (!ReadFile(h_, buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), &n,
                  nullptr))
      return failure(path_, GetLastError());
    got = n;
    return Status::success();
  }

 private:
  HANDLE h_;
  std::string path_;
};

// Every name left in the folder is a file that cannot be opened because its deletion is pending.
bool onlyPendingDeletions(const std::wstring& folder) {
  std::vector<Entry> entries;
  if (listFolder(folder, entries) != 0 || entries.empty()) return false;
  return std::all_of(entries.begin(), entries.end(), [&](const Entry& e) {
    if (e.folder()) return false;
    HANDLE h = CreateFileW(systemPath(wideChild(folder, e.name)).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_FILE_NOT_FOUND;
  });
}

bool missing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

Status Win32FileSystem::readFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  HANDLE h;
  if (Status st = openToRead(path, h); !st) return st;
  LARGE_INTEGER size;
  if (GetFileSizeEx(h, &size) && static_cast<std::uint64_t>(size.QuadPart) > kMaxTextFileBytes) {
    CloseHandle(h);
    return Status::failure(path, win32::kTooLarge);
  }
  bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(h, buffer, sizeof buffer, &got, nullptr)) {
      DWORD error = GetLastError();
      CloseHandle(h);
      bytes.clear();
      return failure(path, error);
    }
    if (got == 0) break;
    if (bytes.size() + got > kMaxTextFileBytes) {
      CloseHandle(h);
      bytes.clear();
      return Status::failure(path, win32::kTooLarge);
    }
    bytes.append(buffer, got);
  }
  CloseHandle(h);
  return Status::success();
}

Status Win32FileSystem::openRead(const std::string& path, std::unique_ptr<FileReader>& reader) {
  reader.reset();
  HANDLE h;
  if (Status st = openToRead(path, h); !st) return st;
  reader = std::make_unique<Win32Reader>(h, path);
  return Status::success();
}

Status Win32FileSystem::makeFolders(const std::string& path) {
  if (path.empty()) return failure(path, ERROR_PATH_NOT_FOUND);
  if (folderExists(path)) return Status::success();
  // The missing folders above first; a file in the way fails naming itself.
  const std::string base = ShownBase(path);
  const std::size_t cut = base.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0 && base[cut - 1] != ':') {
    if (Status s = makeFolders(base.substr(0, cut)); !s) return s;
  }
  if (!CreateDirectoryW(systemPath(base).c_str(), nullptr)) {
    const DWORD error = GetLastError();
    if (!folderExists(base)) return failure(base, error);  // else made meanwhile
  }
  return Status::success();
}

Status Win32FileSystem::removeFile(const std::string& path) {
  if (path.empty()) return failure(path, ERROR_PATH_NOT_FOUND);
  // A folder and a read-only file are refused by the call itself (the attribute is the user's
  // to clear); a link is removed, not what it names.
  const std::wstring wide = systemPath(path);
  const DWORD error = win32::RetryCallWhileInUse(wide, [&] { return DeleteFileW(wide.c_str()); });
  return error && !missing(error) ? failure(path, error) : Status::success();
}

Status Win32FileSystem::removeFolder(const std::string& path) {
  if (path.empty()) return failure(path, ERROR_PATH_NOT_FOUND);
  const std::wstring wide = systemPath(path);
  const DWORD error = win32::RetryWhileInUse(wide, [&]() -> DWORD {
    if (RemoveDirectoryW(wide.c_str())) return 0;
    const DWORD why = GetLastError();
    // What is left may be files whose deletion waits for another program to close them.
    return why == ERROR_DIR_NOT_EMPTY && onlyPendingDeletions(wide) ? ERROR_SHARING_VIOLATION : why;
  });
  return error && !missing(error) ? failure(path, error) : Status::success();
}

Status Win32FileSystem::writeFile(const std::string& path, const std::string& bytes) {
  return replaceFile(nullptr, bytes, path);
}

}  // namespace inst
