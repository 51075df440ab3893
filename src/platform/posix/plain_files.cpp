#include "platform/plain_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace inst::files {
namespace {

Status Failed(const std::string& path) {
  return Status::failure(path, std::strerror(errno));
}

}  // namespace

const char kSeparator = '/';

std::FILE* Open(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

bool Seek(std::FILE* file, std::uint64_t offset) {
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool Size(std::FILE* file, std::uint64_t& size) {
  struct stat st;
  if (fstat(fileno(file), &st) != 0) return false;
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

Kind KindOf(const std::string& path, bool followLinks) {
  struct stat st;
  if ((followLinks ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) return Kind::Missing;
  return S_ISREG(st.st_mode) ? Kind::File : S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Other;
}

Status List(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return Failed(folder);
  errno = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  const int error = errno;
  closedir(dir);
  errno = error;
  return error ? Failed(folder) : Status::success();
}

Status MakeFolder(const std::string& path) {
  return mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && KindOf(path, false) == Kind::Folder)
             ? Status::success()
             : Failed(path);
}

Status Rename(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0 ? Status::success() : Failed(to);
}

Status RemoveTree(const std::string& path) {
  const Kind kind = KindOf(path, false);
  if (kind == Kind::Missing) return Status::success();
  if (kind != Kind::Folder) return unlink(path.c_str()) == 0 ? Status::success() : Failed(path);
  std::vector<std::string> names;
  if (Status s = List(path, names); !s) return s;
  Status result = Status::success();
  for (const std::string& name : names)
    if (Status s = RemoveTree(path + "/" + name); !s && result) result = s;
  if (rmdir(path.c_str()) != 0 && result) result = Failed(path);
  return result;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool ReadOnly(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

void CopyRunPermission(const std::string& from, const std::string& to) {
  struct stat st;
  if (stat(from.c_str(), &st) == 0) chmod(to.c_str(), st.st_mode & 07777);
}

}  // namespace inst::files
