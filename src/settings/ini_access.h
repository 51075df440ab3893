#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/profile.h"
#include "text/status.h"

namespace inst {

// Reads one value (at most 254 characters) through the profile functions; the empty text when
// the file, the section or the key is missing. Arguments and result are program text.
std::string ReadIniValue(Profile& profile, const std::string& section, const std::string& key,
                         const std::string& path);

// The entry's whole value (up to 64 KiB), or nothing when the file, the section or the key is
// missing: two reads with different defaults tell a missing entry from one that holds the default.
std::optional<std::string> ReadIniEntry(Profile& profile, const std::string& section,
                                        const std::string& key, const std::string& path);

// Writes one value and returns 1 whatever happened, as its callers expect.
std::int16_t WriteIniValue(Profile& profile, const std::string& section, const std::string& key,
                           const std::string& value, const std::string& path);

// The same write, for callers that must know whether it reached the file.
Status TryWriteIniValue(Profile& profile, const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);

// Removes one entry; a missing file, section or key is success with nothing written.
Status TryRemoveIniValue(Profile& profile, const std::string& section, const std::string& key,
                         const std::string& path);

}  // namespace inst
