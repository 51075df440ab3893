#pragma once

// Files and folders as the bundle and a run's private temporary folder use them: bytes through
// the C library and the system's own calls. Neither iostreams nor std::filesystem: linked
// statically into the Windows program, they would add most of a megabyte to it. Paths are
// program text (UTF-8) as the platform names them; the folder services of file_system.h work
// on Windows paths instead, whatever the platform.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "text/status.h"

namespace inst::files {

// The platform's own separator between a folder and a name inside it.
extern const char kSeparator;

// fopen's, with a UTF-8 path; binary modes only ("rb", "wb").
std::FILE* Open(const std::string& path, const char* mode);
// To `offset` from the start, beyond 2 GiB too.
bool Seek(std::FILE* file, std::uint64_t offset);
// The file's size, or false.
bool Size(std::FILE* file, std::uint64_t& size);

enum class Kind { Missing, File, Folder, Other };  // Other: a link (not followed), a device
Kind KindOf(const std::string& path, bool followLinks);

// The names in a folder, without "." and "..", in no particular order.
Status List(const std::string& folder, std::vector<std::string>& names);
Status MakeFolder(const std::string& path);
// Replaces `to` with `from` in one step.
Status Rename(const std::string& from, const std::string& to);
// Removes a file, or a folder with everything in it; links inside are removed, never
// followed. A path that does not exist is no failure.
Status RemoveTree(const std::string& path);
// Whether both name the same existing file (through links, other spellings).
bool SameFile(const std::string& a, const std::string& b);
// Whether the file is marked read-only (Windows' attribute; no write permission at all on
// POSIX).
bool ReadOnly(const std::string& path);
// Gives `to` the permission to run that `from` has, where the platform has one.
void CopyRunPermission(const std::string& from, const std::string& to);

}  // namespace inst::files
