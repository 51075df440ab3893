#include "platform/temp_folder.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace inst {
namespace {

std::string TempBase() {
  const char* dir = std::getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

// The pid in "instalador-<pid>-XXXXXX", or 0 for a name not of that shape.
long OwnerPid(std::string_view name) {
  if (!name.starts_with(kTempFolderPrefix)) return 0;
  name.remove_prefix(std::string_view(kTempFolderPrefix).size());
  const std::size_t dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash > 9 || name.size() - dash != 7) return 0;
  long pid = 0;
  for (char c : name.substr(0, dash)) {
    if (c < '0' || c > '9') return 0;
    pid = pid * 10 + (c - '0');
  }
  return pid;
}

}  // namespace

Status MakePrivateTempFolder(std::string& path) {
  // mkdtemp makes the folder with mode 0700 and a name nobody could have taken first.
  std::string pattern = TempBase() + "/" + kTempFolderPrefix + std::to_string(getpid()) + "-XXXXXX";
  if (!mkdtemp(pattern.data())) return Status::failure(pattern, std::strerror(errno));
  path = pattern;
  return Status::success();
}

Status RemoveFolderTree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  return ec ? Status::failure(path, ec.message()) : Status::success();
}

int RemoveLeftoverTempFolders() {
  int removed = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(TempBase(), ec)) {
    const std::string name = entry.path().filename().string();
    const long pid = OwnerPid(name);
    struct stat st;
    // Only our own user's real folders; the shared /tmp holds everyone's.
    if (pid <= 0 || pid == getpid() || lstat(entry.path().c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode) || st.st_uid != getuid())
      continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    if (RemoveFolderTree(entry.path().string())) ++removed;
  }
  return removed;
}

}  // namespace inst
