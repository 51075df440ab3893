#pragma once

// What the program's start and its front ends need of the platform it runs on. Each platform
// implements it once (platform/posix/host.cpp, platform/win32/host.cpp), so that nothing above
// asks which platform it is on.

#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/mci_port.h"
#include "platform/profile.h"
#include "platform/program_list.h"
#include "platform/sleeper.h"

namespace inst::host {

// The platform's own services, as a run and the tests that use the real machine get them.
struct NativeServices {
  std::unique_ptr<FileSystem> fs;
  std::unique_ptr<Profile> profile;
  std::unique_ptr<Environment> env;
  std::unique_ptr<Sleeper> sleeper;
  std::unique_ptr<Registry> registry;
};
NativeServices MakeNativeServices();

// Whether the platform's programs also take options as "/NAME", in any case (/SILENT, /S, /?).
bool SlashOptions();

// The running executable's own file, absolute (a bundle reads the package it carries from it,
// and --bundle copies it).
std::string ExecutablePath();

// The folder the executable lies in, as the installer uses folders: absolute, no trailing
// separator except at a root.
std::string ExecutableFolder();

// `path` made absolute against the current folder; as given when that cannot be done.
std::string AbsolutePath(const std::string& path);

// Gives a program that starts without a console (the Windows GUI program) the console of the
// one that started it, for the streams it lacks; streams it has (pipes, files) stay.
void UseParentConsole();

// Standard output and error write bytes as given, with no line-end translation.
void BinaryStandardStreams();

// Opens a file to append to (the log), or null with the reason in `why`. A file marked
// read-only is refused as Windows refuses it, whoever runs the program.
std::FILE* OpenForAppending(const std::string& path, std::string& why);

// Tells the user of a window front end why the program ends before its window opens (the text
// is on standard error already): in a message box where the platform has one at hand (Windows,
// where a program started from its icon has no console), nowhere else.
void ShowStartupFailure(const std::string& text);

// Removes `folder` (a bundle's unpacked package) also when the run is interrupted (Ctrl+C, a
// polite kill, its terminal or console closing), then ends as the interruption would have ended
// it. An interruption the program was started to ignore stays ignored.
void RemoveOnInterrupt(const std::string& folder);

// Loads a module (a shared library) that stays loaded until the process ends; null with the
// system's reason in `why`.
void* LoadModule(const std::string& path, std::string& why);
// A function the module exports by that name; null when it has none.
void* ModuleFunction(void* module, const char* name);

// A sound device this platform can have. `make` returns null when it cannot be had here (its
// module is missing, say); `exeFolder` is where loadable device modules lie.
struct SoundDeviceEntry {
  std::string_view name;
  std::unique_ptr<MciPort> (*make)(const std::string& exeFolder);
};
// The devices built in, the platform's own first; the silent one, which can always be made,
// last.
std::span<const SoundDeviceEntry> SoundDevices();

}  // namespace inst::host
