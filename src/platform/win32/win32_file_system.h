#pragma once

#include "platform/file_system.h"

namespace inst {

// The file-system service on Windows, through the wide API. Listings are sorted in NTFS order
// here because not every file system (FAT, network shares, Wine on a Unix one) lists that way.
// Copies go to a temporary file beside the target and replace it with one move, so a target is
// never torn; a file or folder that already exists under another case is the one replaced.
//
// copyFolder creates the destination folder when it is missing, not its parents. A folder that
// contains itself through a link or junction is reported (ERROR_CANT_RESOLVE_FILENAME) rather
// than copied forever, and a destination that lies inside the source is not copied into itself.
// Paths too long for the classic limit are passed in their "\\?\" form.
class Win32FileSystem final : public FileSystem {
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
