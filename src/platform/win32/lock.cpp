#include "platform/lock.h"

#include <windows.h>

#include "platform/win32/long_path.h"
#include "platform/win32/wide.h"

namespace inst {
namespace {

class LockFileExLock final : public FileLock {
 public:
  explicit LockFileExLock(HANDLE h) : h_(h) {}
  ~LockFileExLock() override {
    OVERLAPPED at{};
    UnlockFileEx(h_, 0, 1, 0, &at);
    CloseHandle(h_);
  }

 private:
  HANDLE h_;
};

constexpr DWORD kPollMs = 50;

}  // namespace

Status LockFileExclusive(const std::string& path, std::chrono::milliseconds wait,
                         std::unique_ptr<FileLock>& held) {
  held.reset();
  const std::wstring wide = win32::LongPath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return Status::failure(path, win32::errorText(ERROR_ACCESS_DENIED));
  // Not shared for deletion: a lock file deleted while held would let the next run make a new
  // one and go ahead beside this one.
  HANDLE h =
      CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Status::failure(path, win32::errorText(GetLastError()));
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(wait.count());
  for (;;) {
    OVERLAPPED at{};
    if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) break;
    const DWORD error = GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
      CloseHandle(h);
      return Status::failure(path, win32::errorText(error));
    }
    if (GetTickCount64() >= deadline) {
      CloseHandle(h);
      return Status::failure(path, kLockBusy);
    }
    Sleep(kPollMs);
  }
  held = std::make_unique<LockFileExLock>(h);
  return Status::success();
}

}  // namespace inst
