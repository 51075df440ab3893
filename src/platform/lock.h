#pragma once

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "text/status.h"

namespace inst {

// An exclusive lock on a file, held until the object goes. The system releases it when the
// process ends, however it ends, so a killed run never makes the next one wait.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// How long a run waits for another run's lock before it gives up.
inline constexpr std::chrono::milliseconds kLockWait{60'000};

// The reason given when another run holds the lock for longer than the wait.
inline constexpr const char* kLockBusy = "Outra instalação está em andamento.";

// Takes the lock on the file `path` (a Windows path; the file is made when missing and never
// removed), waiting up to `wait` while another process holds it. On failure `held` is empty and
// the status names the lock file and why: kLockBusy after the wait, else the system's reason
// (a folder or a read-only file where the lock file goes).
Status LockFileExclusive(const std::string& path, std::chrono::milliseconds wait,
                         std::unique_ptr<FileLock>& held);

// The wait a run uses: kLockWait, or in a build with assertions the milliseconds given in
// INSTALADOR_TEST_LOCK_WAIT_MS, so that the tests need not wait a minute.
inline std::chrono::milliseconds LockWait() {
#ifndef NDEBUG
  if (const char* ms = std::getenv("INSTALADOR_TEST_LOCK_WAIT_MS"))
    return std::chrono::milliseconds(std::atoll(ms));
#endif
  return kLockWait;
}

}  // namespace inst
