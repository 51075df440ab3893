#pragma once

#include "platform/file_system.h"

namespace inst {

// The file-system service on POSIX, with the Windows behaviour the installer relies on: paths
// resolved without regard to case, NTFS listing order, "hidden" meaning a name that begins with
// a dot, and every file written through a temporary file and one rename.
//
// copyFolder creates the destination folder when it is missing, but not its parents: a missing
// parent is reported, so a wrong path never plants a new folder tree. A folder that contains
// itself through a link is reported as ELOOP rather than copied forever; the same folder reached
// twice without a cycle is copied twice, as Windows does; a destination that lies inside the
// source is not copied into itself. Names that are neither files nor folders (pipes, sockets,
// devices) are not files to Windows and are left out.
//
// removeFile refuses a file without write permission, as Windows refuses to delete a read-only
// file; a link is removed, never what it points to.
class PosixFileSystem final : public FileSystem {
 public:
  bool fileExists(const std::string& path) override;
  bool normalFileExists(const std::string& path) override;
  bool folderExists(const std::string& path) override;
  bool pathExists(const std::string& path) override;
  Status lockFile(const std::string& path, std::unique_ptr<FileLock>& held) override;
  Status subFolders(const std::string& path, std::vector<SubFolder>& out) override;
  Status copyFolder(const std::string& source, const std::string& destination) override;
  Status copyFolderWatched(const std::string& source, const std::string& destination,
                           CopyWatcher& watcher, bool planOnly) override;
  Status listEntries(const std::string& path, const std::string& within,
                     std::vector<FolderEntry>& out) override;
  Status planRead(const std::string& path) override;
  Status planReplace(const std::string& path, bool readFirst) override;
  Status copyFile(const std::string& source, const std::string& destination) override;
  Status readFile(const std::string& path, std::string& bytes) override;
  Status openRead(const std::string& path, std::unique_ptr<FileReader>& reader) override;
  Status makeFolders(const std::string& path) override;
  Status removeFile(const std::string& path) override;
  Status removeFolder(const std::string& path) override;
  Status writeFile(const std::string& path, const std::string& bytes) override;
};

}  // namespace inst
