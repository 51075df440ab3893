#pragma once

// The platform's own file-system and profile back ends, for the tests in real folders.
#ifdef _WIN32
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_profile.h"
namespace inst::testing {
using RealFileSystem = Win32FileSystem;
using RealProfile = Win32Profile;
}  // namespace inst::testing
#else
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_profile.h"
namespace inst::testing {
using RealFileSystem = PosixFileSystem;
using RealProfile = PosixProfile;
}  // namespace inst::testing
#endif
