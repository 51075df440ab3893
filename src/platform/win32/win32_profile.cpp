#include "platform/win32/win32_profile.h"

#include <windows.h>

#include <atomic>

#include "platform/code_page.h"
#include "platform/file_system.h"
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

}  // namespace

std::uint32_t Win32Profile::getString(const std::string& section, const std::string& key,
                                      const std::string& def, char* buffer, std::uint32_t size,
                                      const std::string& path) {
  return GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer, size,
                                  toAnsi(path).c_str());
}

namespace {

// A write, or a removal when `value` is null: the same copy, call, flush and move for both.
Status editFile(const std::string& section, const std::string& key, const char* value,
                const std::string& path) {
  const std::wstring target = win32::toWide(path);
  const std::string tempPath = tempBeside(path);
  const std::wstring temp = win32::toWide(tempPath);
  const std::string ansiTemp = toAnsi(tempPath);

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
  if (attributes != INVALID_FILE_ATTRIBUTES && !CopyFileW(target.c_str(), temp.c_str(), TRUE)) {
    return failure(path, GetLastError());
  }
  if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value, ansiTemp.c_str())) {
    const DWORD error = GetLastError();
    DeleteFileW(temp.c_str());
    return failure(path, error);
  }
  // The system may hold profile files in a cache: flushing it puts every byte on disk before
  // the move. Its result is not an error of ours: the write above already succeeded.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, ansiTemp.c_str());
  if (GetFileAttributesW(temp.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return Status::success();  // the call had nothing to write (a removal on a missing file)
  }
  if (const DWORD error = win32::flushFile(temp)) {
    DeleteFileW(temp.c_str());
    return failure(path, error);
  }
  if (!MoveFileExW(temp.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    DeleteFileW(temp.c_str());
    return failure(path, error);
  }
  return Status::success();
}

}  // namespace

Status Win32Profile::writeString(const std::string& section, const std::string& key,
                                 const std::string& value, const std::string& path) {
  return editFile(section, key, value.c_str(), path);
}

Status Win32Profile::removeString(const std::string& section, const std::string& key,
                                  const std::string& path) {
  return editFile(section, key, nullptr, path);
}

}  // namespace inst
