#include "platform/win32/win32_profile.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/file_system.h"
#include "platform/win32/in_use.h"
#include "platform/win32/long_path.h"
#include "platform/win32/shared_lock.h"
#include "platform/win32/test_hold.h"
#include "platform/win32/wide.h"

namespace inst {
namespace {

// A name beside the target that no other write of this or another process uses; the prefix
// marks a leftover of an interrupted write.
std::string tempBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = path.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  return folder + std::string(kTempFilePrefix) + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(GetTickCount64()) + "-" + std::to_string(++counter) + ".ini";
}

Status failure(const std::string& path, DWORD error) {
  return Status::failure(path, win32::errorText(error));
}

// The texts are the ANSI code page's bytes; the wide functions take them converted, and write
// them back in that code page into a file that is not Unicode already, as the ANSI ones would.
std::wstring wide(const std::string& ansi) {
  return win32::toWide(ansi, CP_ACP);
}

// The profile functions take no path past the classic limit, not even in the "\\?\" form
// (Wine's read one into a buffer of that size): such a file is reached through its short
// name, where the volume keeps short names. Empty when there is no path they can take.
std::wstring profilePath(const std::wstring& file) {
  std::wstring path =
      file.starts_with(L"\\\\?\\") && !file.starts_with(L"\\\\?\\UNC\\") ? file.substr(4) : file;
  if (path.size() < MAX_PATH) return path;
  // A file that is not there yet has a folder that is.
  const std::size_t cut = file.find_last_of(L'\\');
  std::wstring shortPath(32768, L'\0'), name;
  DWORD n = GetShortPathNameW(file.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
  if (n == 0 && cut != std::wstring::npos) {
    n = GetShortPathNameW(file.substr(0, cut).c_str(), shortPath.data(),
                          static_cast<DWORD>(shortPath.size()));
    name = file.substr(cut);
  }
  shortPath.resize(n < shortPath.size() ? n : 0);
  shortPath += name;
  if (shortPath.starts_with(L"\\\\?\\")) shortPath.erase(0, 4);
  return n && shortPath.size() < MAX_PATH ? shortPath : std::wstring();
}

// A read of a file that another program holds waits for it as a change does, so that the value
// read (and kept in the backup record) is the file's, not the default.
void waitUntilReadable(const std::wstring& file) {
  win32::RetryWhileInUse(file, [&]() -> DWORD {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(h);
    return 0;
  });
}

}  // namespace

std::uint32_t Win32Profile::getString(const std::string& section, const std::string& key,
                                      const std::string& def, char* buffer, std::uint32_t size,
                                      const std::string& path) {
  if (size == 0) return 0;
  const std::wstring file = win32::LongPath(path);
  waitUntilReadable(file);
  const std::wstring reachable = profilePath(file);
  // As the ANSI function does it: the wide call with room for every byte, cut to size - 1.
  std::wstring value(std::size_t{size} * 2, L'\0');
  const DWORD n = GetPrivateProfileStringW(
      wide(section).c_str(), wide(key).c_str(), wide(def).c_str(), value.data(),
      static_cast<DWORD>(value.size()), reachable.empty() ? file.c_str() : reachable.c_str());
  const std::string ansi = win32::fromWide(std::wstring_view(value.data(), n), CP_ACP);
  const std::size_t count = std::min<std::size_t>(ansi.size(), size - 1);
  std::memcpy(buffer, ansi.data(), count);
  buffer[count] = '\0';
  return static_cast<std::uint32_t>(count);
}

namespace {

// A write, or a removal when `value` is null: the same lock, copy, call, flush and move for both.
Status editFile(const std::string& section, const std::string& key, const std::string* value,
                const std::string& path) {
  const std::wstring target = win32::LongPath(path);
  // Other users' runs edit the shared files too: from the read to the rename, one at a time.
  win32::SharedFileLock lock;
  if (Status taken = lock.take(target, path); !taken) return taken;
  const std::wstring temp = win32::LongPath(tempBeside(path));

  win32::removeOrphanTempsBeside(target);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
    return failure(path, ERROR_ACCESS_DENIED);
  }
  // The call would create the file empty; a removal that finds no file leaves none.
  if (value == nullptr && attributes == INVALID_FILE_ATTRIBUTES) return Status::success();
  // The copy keeps the file's attributes: a read-only file makes the write below fail, as a
  // write on the file itself would.
  // The temporary file is there before the call, so that it has a short name if it needs one.
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (DWORD error = win32::RetryCallWhileInUse(
            target, [&] { return CopyFileW(target.c_str(), temp.c_str(), TRUE); }))
      return failure(path, error);
  } else {
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return failure(path, GetLastError());
    CloseHandle(h);
  }
  const std::wstring reachable = profilePath(temp);
  const std::wstring wideValue = value ? wide(*value) : std::wstring();
  if (reachable.empty() ||
      !WritePrivateProfileStringW(wide(section).c_str(), wide(key).c_str(),
                                  value ? wideValue.c_str() : nullptr, reachable.c_str())) {
    const DWORD error = reachable.empty() ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
    DeleteFileW(temp.c_str());
    return failure(path, error);
  }
  // The system may hold profile files in a cache: flushing it puts every byte on disk before
  // the move. Its result is not an error of ours: the write above already succeeded.
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, reachable.c_str());
  if (const DWORD error = win32::flushFile(temp)) {
    DeleteFileW(temp.c_str());
    return failure(path, error);
  }
  win32::TestHold("rename", target);
  if (DWORD error = win32::RetryCallWhileInUse(target, [&] {
        return MoveFileExW(temp.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
      })) {
    DeleteFileW(temp.c_str());
    return failure(path, error);
  }
  return Status::success();
}

}  // namespace

Status Win32Profile::writeString(const std::string& section, const std::string& key,
                                 const std::string& value, const std::string& path) {
  return editFile(section, key, &value, path);
}

Status Win32Profile::removeString(const std::string& section, const std::string& key,
                                  const std::string& path) {
  return editFile(section, key, nullptr, path);
}

}  // namespace inst
