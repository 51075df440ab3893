#pragma once

#include <string>
#include <string_view>

#include "text/status.h"

namespace inst::posix {

// Windows paths on a POSIX file system: "\" and "/" both separate components, and each
// component is resolved without regard to letter case.

// A name upper-cased the way NTFS compares names (ASCII and Latin-1 letters).
std::string upperName(std::string_view utf8);
bool sameName(std::string_view a, std::string_view b);
// NTFS listing order: names compared after upper-casing, ordinal.
bool ntfsLess(std::string_view a, std::string_view b);

// The native path for a Windows path. Every existing component is matched exactly first,
// otherwise without regard to case (the first match in listing order); from the first
// component that does not exist on, the rest is kept as written.
std::string resolvePath(std::string_view windowsPath);

// The reason shown for an error number. A refused access reads as Windows words it, so that
// both back ends give the same reason for a read-only file.
std::string reasonText(int error);
// Reasons no error number stands for, and the numbers reasonText takes for them.
inline constexpr const char* kNotRegular = "Não é um arquivo comum.";
inline constexpr const char* kTooLarge = "O arquivo é grande demais.";
inline constexpr int kNotRegularError = -1;
inline constexpr int kTooLargeError = -2;

// An open descriptor, closed when its owner goes, so that no path out of a walk leaks one.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { reset(); }

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes the one held (keeping errno: callers read it after a failed open) and takes `fd`.
  void reset(int fd = -1);

 private:
  int fd_ = -1;
};

// A temporary file name of a write that no running process owns any more: its writer (whose
// process id the name begins with) has ended. Only those may be removed; another run's write in
// progress must be left alone.
bool isOrphanTemp(std::string_view name);
// Removes the orphaned temporary files of the open folder `folder`.
void removeOrphanTemps(int folder);

// In a build with assertions, holds the run at `where` while the test asks it to (see the
// definition); elsewhere nothing.
void TestPause(const char* where, std::string_view target = {});

// Creates a temporary file beside `nativeTarget` (same folder) and opens it for writing.
// Returns the descriptor, or -1 with `error` set to the system's reason.
int openTempBeside(const std::string& nativeTarget, std::string& tempPath, std::string& error);

// Puts the names of the folder `path` (relative to the open folder `at`, which may be one opened
// only as a place) on the disk: 0 or the error number. A file system that has no flush of
// folders (EINVAL, ENOTSUP) is no failure: its names are as safe as it makes them.
int flushFolder(int at, const char* path);

// Gives the temporary file the target's permissions (or the usual ones for a new file), flushes
// it to the disk, closes it, renames it over the target and flushes the folder. A target without
// write permission is refused (EACCES), as Windows refuses a read-only file. On failure the
// temporary file is removed; a folder flush that fails comes after the rename, so the target is
// new but not known to be on the disk, and the failure is the caller's to undo as any other.
Status commitTemp(int fd, const std::string& tempPath, const std::string& nativeTarget,
                  const std::string& shownPath);

// The same two steps relative to an open folder, where `tempName` and `target` are names in it,
// so that no path is walked again for each file. openTempAt returns the descriptor, or -1 with
// `error` set; commitTempAt returns 0 or the error number. Both leave it to the caller to spell
// the path the user is shown, which a successful copy never needs. `knownNew` says the caller
// has just listed the folder without the target: there are no permissions to keep, so none are
// looked up.
int openTempAt(int folder, std::string& tempName, int& error);
int commitTempAt(int fd, int folder, const std::string& tempName, const std::string& target,
                 bool knownNew = false);
// commitTempAt in two halves, for a caller that flushes many files at once before renaming
// them: closeTempAt refuses a read-only target, gives the permissions, flushes when `flush`
// says so, and closes; renameTempAt renames. Both remove the temporary file on failure.
int closeTempAt(int fd, int folder, const std::string& tempName, const std::string& target,
                bool knownNew, bool flush);
int renameTempAt(int folder, const std::string& tempName, const std::string& target);

// How copyBytes moves the data. Each method falls back to the next when the kernel or the file
// system cannot do it; the later ones exist to test the fallbacks.
enum class CopyMethod { CopyFileRange, SendFile, ReadWrite };

// Copies from the current offset of `from` to its end into `to`, in bounded memory whatever the
// size. Returns 0, or the errno of the failure.
int copyBytes(int from, int to, CopyMethod first = CopyMethod::CopyFileRange);

// Writes `bytes` as the whole new content of `nativeTarget` through a temporary file and one
// rename, so the target is always either the old file or the new one.
Status replaceFile(const std::string& nativeTarget, std::string_view bytes,
                   const std::string& shownPath);

}  // namespace inst::posix
