// The one place that reads the options, picks the back ends and the front end, and wires them.

#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "app/application.h"
#include "platform/ui/headless/headless_front_end.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/win32/wide.h"
#include "platform/win32/win32_environment.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_mci.h"
#include "platform/win32/win32_profile.h"
#include "platform/win32/win32_sleeper.h"
#else
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "platform/posix/native_path.h"
#include "platform/posix/posix_environment.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_profile.h"
#include "platform/posix/posix_sleeper.h"
#endif
#include "platform/sound/silent_device.h"
#ifdef INSTALADOR_HAVE_SDL
#include <dlfcn.h>
#endif

namespace inst {
namespace {

constexpr const char* kUsage =
    "usage: instalador [--ui=headless] [--package-dir DIR]\n"
    "  --ui=headless      run without a display, driven by lines on standard input\n"
    "  --package-dir DIR  the package's folder (Setup.ini, pastascripts, Audio, Info, Extras);\n"
    "                     by default the executable's folder\n";

struct Options {
  std::string ui;  // empty: the platform's desktop front end, or headless where none is built
  std::string packageDir;
};

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg.substr(0, 5) == "--ui=") {
      options.ui = std::string(arg.substr(5));
    } else if (arg == "--ui" && i + 1 < argc) {
      options.ui = argv[++i];
    } else if (arg.substr(0, 14) == "--package-dir=") {
      options.packageDir = std::string(arg.substr(14));
    } else if (arg == "--package-dir" && i + 1 < argc) {
      options.packageDir = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      error.clear();
      return false;
    } else {
      error = "unknown option: " + std::string(arg);
      return false;
    }
  }
  if (!options.ui.empty() && options.ui != "headless") {
    error = "this build has no front end '" + options.ui + "'";
    return false;
  }
  return true;
}

// The folder as the installer uses it: absolute, no trailing separator except at a root.
std::string FolderPath(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\') &&
         !(path.size() == 3 && path[1] == ':'))
    path.pop_back();
  return path;
}

#ifdef _WIN32
std::string ExecutableFolder() {
  std::wstring buffer(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  std::string path = win32::toUtf8(std::wstring_view(buffer.data(), n));
  return FolderPath(path.substr(0, path.find_last_of("\\/") + 1));
}

std::string Absolute(const std::string& path) {
  std::wstring wide = win32::toWide(path);
  std::wstring buffer(32768, L'\0');
  DWORD n =
      GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  return n ? win32::toUtf8(std::wstring_view(buffer.data(), n)) : path;
}
#else
std::string ExecutableFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return FolderPath(std::filesystem::current_path().string());
  return FolderPath(exe.parent_path().string());
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(path, ec);
  return ec ? path : full.lexically_normal().string();
}
#endif

std::unique_ptr<MciPort> SoundDevice(bool headless) {
  const char* choice = std::getenv("INSTALADOR_SOUND");
  std::string device = choice && *choice ? choice : (headless ? "silent" : "sdl");
#ifdef _WIN32
  if (device != "silent") return std::make_unique<Win32MciPort>();
  return MakeSilentMciPort([](const std::string& path) { return path; });
#else
  auto resolve = [](const std::string& path) { return posix::resolvePath(path); };
#ifdef INSTALADOR_HAVE_SDL
  if (device == "sdl") {
    // The module stays loaded for the life of the process.
    std::string module = ExecutableFolder() + "/instalador-sdl.so";
    if (void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      using Factory = MciPort* (*)(const std::function<std::string(const std::string&)>*);
      if (auto make = reinterpret_cast<Factory>(dlsym(handle, "instalador_sdl_port"))) {
        std::function<std::string(const std::string&)> resolver = resolve;
        return std::unique_ptr<MciPort>(make(&resolver));
      }
    }
  }
#endif
  return MakeSilentMciPort(resolve);
#endif
}

int Run(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) {
    if (error.empty()) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    std::fprintf(stderr, "instalador: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  std::string folder =
      options.packageDir.empty() ? ExecutableFolder() : FolderPath(Absolute(options.packageDir));

#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  Win32FileSystem fs;
  Win32Profile profile;
  Win32Environment env;
  Win32Sleeper sleeper;
#else
  PosixFileSystem fs;
  PosixProfile profile;
  PosixEnvironment env;
  PosixSleeper sleeper;
#endif
  // Only the headless front end is built so far; it serves every --ui choice.
  std::unique_ptr<MciPort> sound = SoundDevice(true);
  headless::HeadlessFrontEnd ui(std::cin, std::cout);
  headless::LoggingMciPort mciPort(*sound, ui);
  headless::LoggingSleeper loggingSleeper(sleeper, ui);
  Application app({fs, profile, env, loggingSleeper, mciPort, ui, folder});
  return ui.run(app);
}

}  // namespace
}  // namespace inst

int main(int argc, char** argv) {
  return inst::Run(argc, argv);
}
