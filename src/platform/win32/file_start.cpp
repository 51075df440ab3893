#include "platform/file_start.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/long_path.h"

namespace inst {

FileStart ReadFileStart(const std::string& path, std::size_t limit) {
  FileStart result;
  const std::wstring wide = win32::LongPath(path);
  WIN32_FILE_ATTRIBUTE_DATA info{};
  if (path.empty() || !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &info))
    return result;
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
    result.state = FileStart::State::NotAFile;
    return result;
  }
  result.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  result.state = FileStart::State::Unreadable;
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return result;
  std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(result.size, limit)), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    DWORD chunk = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1u << 20));
    if (!ReadFile(file, bytes.data() + got, want, &chunk, nullptr) || chunk == 0) break;
    got += chunk;
  }
  CloseHandle(file);
  if (got != bytes.size()) return result;
  result.bytes = std::move(bytes);
  result.state = FileStart::State::Read;
  return result;
}

}  // namespace inst
