#include "platform/win32/shared_lock.h"

#include <sddl.h>

#include <cstdint>

#include "platform/lock.h"
#include "platform/win32/wide.h"

namespace inst::win32 {
namespace {

// One name for the file whatever the spelling: the full path, upper-cased, hashed to fit.
std::wstring MutexName(const std::wstring& path) {
  std::wstring full(32768, L'\0');
  const DWORD n =
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  full.resize(n && n < full.size() ? n : 0);
  if (full.empty()) full = path;
  if (full.starts_with(L"\\\\?\\UNC\\")) full = L"\\\\" + full.substr(8);
  if (full.starts_with(L"\\\\?\\")) full = full.substr(4);
  CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (wchar_t c : full) {
    hash ^= static_cast<std::uint16_t>(c);
    hash *= 1099511628211ull;
  }
  std::wstring name = L"Global\\instalador-ini-";
  for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(hash >> shift) & 15];
  return name;
}

}  // namespace

SharedFileLock::~SharedFileLock() {
  if (mutex_) {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
}

Status SharedFileLock::take(const std::wstring& path, const std::string& shown) {
  // Any user may wait for it and release it; none may do more.
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"D:(A;;0x00100001;;;WD)", SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr))
    return Status::failure(shown, errorText(GetLastError()));
  mutex_ =
      CreateMutexExW(&attributes, MutexName(path).c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
  const DWORD error = GetLastError();
  LocalFree(attributes.lpSecurityDescriptor);
  if (!mutex_) return Status::failure(shown, errorText(error));
  // Abandoned: its holder ended between its read and its rename, and the file is as it was.
  const DWORD waited = WaitForSingleObject(mutex_, static_cast<DWORD>(LockWait().count()));
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return Status::success();
  CloseHandle(mutex_);
  mutex_ = nullptr;
  return Status::failure(shown, kLockBusy);
}

}  // namespace inst::win32
