#include "platform/lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/posix/native_path.h"

namespace inst {
namespace {

class FlockLock final : public FileLock {
 public:
  explicit FlockLock(posix::Descriptor fd) : fd_(std::move(fd)) {}

 private:
  posix::Descriptor fd_;  // closing it releases the lock
};

constexpr std::chrono::milliseconds kPoll{50};

}  // namespace

Status LockFileExclusive(const std::string& path, std::chrono::milliseconds wait,
                         std::unique_ptr<FileLock>& held) {
  held.reset();
  const std::string native = posix::resolvePath(path);
  // O_NONBLOCK: something that is not a file where the lock file goes must not hang the open.
  posix::Descriptor fd(open(native.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666));
  if (!fd) return Status::failure(path, posix::reasonText(errno));
  struct stat st;
  if (fstat(fd.get(), &st) != 0) return Status::failure(path, posix::reasonText(errno));
  if (!S_ISREG(st.st_mode)) return Status::failure(path, posix::kNotRegular);
  // Read-only as Windows sees it: the lock would be refused there, whoever runs the program.
  if ((st.st_mode & 0222) == 0) return Status::failure(path, posix::reasonText(EACCES));

  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return Status::failure(path, posix::reasonText(errno));
    if (std::chrono::steady_clock::now() >= deadline) return Status::failure(path, kLockBusy);
    std::this_thread::sleep_for(kPoll);
  }
  held = std::make_unique<FlockLock>(std::move(fd));
  return Status::success();
}

}  // namespace inst
