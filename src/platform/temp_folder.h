#pragma once

#include <string>

#include "text/status.h"

namespace inst {

// A run's private folder under the system's temporary folder (a bundle unpacks its package
// there). Named "instalador-<pid>-XXXXXX" after the process that made it, so that a later run
// can tell a killed run's folder from a running one's.
inline constexpr const char* kTempFolderPrefix = "instalador-";

// Makes a new, empty folder that only the current user can read, and gives its path.
Status MakePrivateTempFolder(std::string& path);

// Removes the folder and everything in it. Links inside are removed, never followed.
Status RemoveFolderTree(const std::string& path);

// Removes the folders of ours that runs whose process is gone left in the temporary folder;
// returns how many.
int RemoveLeftoverTempFolders();

}  // namespace inst
