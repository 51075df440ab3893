#include "platform/win32/in_use.h"

#include <algorithm>

namespace inst::win32 {

bool InUse(DWORD error, const std::wstring& path) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
  if (error != ERROR_ACCESS_DENIED) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_ACCESS_DENIED;
  // A folder where a file goes, or a read-only file, is refused for good.
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return false;
  // Opened to read and delete alongside every other handle: a user without those rights is
  // refused here too; otherwise what refused the change is another handle, or a deletion
  // still pending, and both end.
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | DELETE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
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
