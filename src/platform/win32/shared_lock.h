#pragma once

#include <windows.h>

#include <string>

#include "text/status.h"

namespace inst::win32 {

// The lock that every user's run takes around the read, edit and rename of one file: a named
// mutex in the global namespace, which the runs of other users and other sessions see too and
// may wait for, and which the system releases when a holder dies. Nothing is left on the disk.
class SharedFileLock {
 public:
  SharedFileLock() = default;
  SharedFileLock(const SharedFileLock&) = delete;
  SharedFileLock& operator=(const SharedFileLock&) = delete;
  ~SharedFileLock();

  // Waits for the lock of the file `path` as a run waits for the installation lock; a failure
  // names `shown`.
  Status take(const std::wstring& path, const std::string& shown);

 private:
  HANDLE mutex_ = nullptr;
};

}  // namespace inst::win32
