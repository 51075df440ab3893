#include "platform/temp_folder.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/plain_files.h"

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
  return files::RemoveTree(path);
}

int RemoveLeftoverTempFolders() {
  int removed = 0;
  std::vector<std::string> names;
  if (!files::List(TempBase(), names)) return 0;
  for (const std::string& name : names) {
    const std::string path = TempBase() + "/" + name;
    const long pid = OwnerPid(name);
    struct stat st;
    // Only our own user's real folders; the shared /tmp holds everyone's.
    if (pid <= 0 || pid == getpid() || lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != getuid())
      continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    if (RemoveFolderTree(path)) ++removed;
  }
  return removed;
}

}  // namespace inst
