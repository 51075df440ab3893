#pragma once

#include <string>
#include <vector>

#include "platform/status.h"

namespace inst {

struct SubFolder {
  std::string name;  // last path component, as the file system spells it
  std::string path;  // full path, no trailing separator
};

// The file-system service. Paths are Windows paths in program text (UTF-8): "\" separates
// components and every component is resolved without regard to letter case.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // A file (not a folder) of that path exists, whatever its attributes.
  virtual bool fileExists(const std::string& path) = 0;
  // A file with normal attributes exists: folders, hidden and system files do not count.
  virtual bool normalFileExists(const std::string& path) = 0;
  virtual bool folderExists(const std::string& path) = 0;

  // The direct subfolders in NTFS order (names compared upper-cased, ordinal).
  virtual Status subFolders(const std::string& path, std::vector<SubFolder>& out) = 0;

  // Everything inside `source` (files and subfolders at any depth) into `destination`,
  // replacing files that exist there; files the source lacks stay. Overwrite is always on.
  virtual Status copyFolder(const std::string& source, const std::string& destination) = 0;
  // One file, replacing an existing destination. Overwrite is always on.
  virtual Status copyFile(const std::string& source, const std::string& destination) = 0;

  // The whole file's bytes.
  virtual Status readFile(const std::string& path, std::string& bytes) = 0;
};

}  // namespace inst
