#include "platform/plain_files.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/win32/in_use.h"
#include "platform/win32/long_path.h"
#include "platform/win32/wide.h"

namespace inst::files {
namespace {

Status Failed(const std::string& path, DWORD error = GetLastError()) {
  return Status::failure(path, win32::errorText(error));
}

// Handles of folders and links themselves, not of what a link points to.
HANDLE OpenForInformation(const std::string& path) {
  return CreateFileW(win32::LongPath(path).c_str(), 0,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

const char kSeparator = '\\';

std::FILE* Open(const std::string& path, const char* mode) {
  return _wfopen(win32::LongPath(path).c_str(), win32::toWide(mode).c_str());
}

bool Seek(std::FILE* file, std::uint64_t offset) {
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

bool Size(std::FILE* file, std::uint64_t& size) {
  const __int64 n = _filelengthi64(_fileno(file));
  if (n < 0) return false;
  size = static_cast<std::uint64_t>(n);
  return true;
}

Kind KindOf(const std::string& path, bool followLinks) {
  const DWORD attributes = GetFileAttributesW(win32::LongPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Kind::Missing;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    if (!followLinks) return Kind::Other;
    HANDLE h = CreateFileW(win32::LongPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Kind::Missing;
    CloseHandle(h);
  }
  return attributes & FILE_ATTRIBUTE_DIRECTORY ? Kind::Folder
         : attributes & FILE_ATTRIBUTE_DEVICE  ? Kind::Other
                                               : Kind::File;
}

Status List(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(win32::LongPath(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return Failed(folder);
  do {
    const std::wstring_view name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(win32::toUtf8(name));
  } while (FindNextFileW(search, &found));
  const DWORD error = GetLastError();
  FindClose(search);
  return error == ERROR_NO_MORE_FILES ? Status::success() : Failed(folder, error);
}

Status MakeFolder(const std::string& path) {
  if (CreateDirectoryW(win32::LongPath(path).c_str(), nullptr)) return Status::success();
  const DWORD error = GetLastError();
  return error == ERROR_ALREADY_EXISTS && KindOf(path, false) == Kind::Folder ? Status::success()
                                                                              : Failed(path, error);
}

Status Rename(const std::string& from, const std::string& to) {
  const std::wstring source = win32::LongPath(from), target = win32::LongPath(to);
  const DWORD error = win32::RetryCallWhileInUse(target, [&] {
    return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
  });
  return error ? Failed(to, error) : Status::success();
}

Status RemoveTree(const std::string& path) {
  const std::wstring wide = win32::LongPath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Status::success();
  // A read-only file or folder refuses to go.
  if (attributes & FILE_ATTRIBUTE_READONLY)
    SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  const bool folder = attributes & FILE_ATTRIBUTE_DIRECTORY;
  Status result = Status::success();
  // A link to a folder goes as the link alone: what it points to is not ours.
  if (folder && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    std::vector<std::string> names;
    if (Status s = List(path, names); !s) return s;
    for (const std::string& name : names)
      if (Status s = RemoveTree(path + "\\" + name); !s && result) result = s;
  }
  const DWORD error = win32::RetryCallWhileInUse(
      wide, [&] { return folder ? RemoveDirectoryW(wide.c_str()) : DeleteFileW(wide.c_str()); });
  if (error && result) result = Failed(path, error);
  return result;
}

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  HANDLE ha = OpenForInformation(a), hb = OpenForInformation(b);
  const bool same = ha != INVALID_HANDLE_VALUE && hb != INVALID_HANDLE_VALUE &&
                    GetFileInformationByHandle(ha, &ia) && GetFileInformationByHandle(hb, &ib) &&
                    ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
                    ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
  if (ha != INVALID_HANDLE_VALUE) CloseHandle(ha);
  if (hb != INVALID_HANDLE_VALUE) CloseHandle(hb);
  return same;
}

bool ReadOnly(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(win32::LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

void CopyRunPermission(const std::string&, const std::string&) {}  // any file may run

}  // namespace inst::files
