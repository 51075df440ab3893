#include "platform/win32/in_use.h"

#include <algorithm>

namespace inst::win32 {

bool InUse(DWORD error, const std::wstring& path) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
  if (error != ERROR_ACCESS_DENIED) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_ACCESS_DENIED;
  if (attributes & FILE_ATTRIBUTE_READONLY) return false;
  // Opened for deletion alongside every other handle: what refuses it is a handle that shares
  // nothing, or a deletion still pending, and both end.
  HANDLE h =
      CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return true;
  }
  const DWORD why = GetLastError();
  return why == ERROR_SHARING_VIOLATION || why == ERROR_FILE_NOT_FOUND;
}

DWORD NextPause(DWORD& waited) {
  if (waited >= kInUseBudgetMs) return 0;
  // 10, 20, 40 … ms, then a tenth of the budget at a time.
  const DWORD pause =
      std::min({std::max<DWORD>(10, waited), kInUseBudgetMs / 10, kInUseBudgetMs - waited});
  waited += pause;
  return pause;
}

}  // namespace inst::win32
