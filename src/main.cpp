// The one place that reads the options, picks the back ends and the front end, and wires them.

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "ui/front_ends.h"
#include "ui/sound_devices.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/win32/wide.h"
#include "platform/win32/win32_environment.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_profile.h"
#include "platform/win32/win32_sleeper.h"
#else
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "platform/posix/posix_environment.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_profile.h"
#include "platform/posix/posix_sleeper.h"
#endif

namespace inst {
namespace {

std::string Usage() {
  std::string names;
  for (const ui::FrontEndEntry& entry : ui::FrontEnds()) {
    if (!names.empty()) names += '|';
    names += entry.name;
  }
  return "usage: instalador [--ui=" + names +
         "] [--package-dir DIR]\n"
         "  --ui=NAME          the front end; by default the desktop one where it can run,\n"
         "                     else headless (driven by lines on standard input)\n"
         "  --package-dir DIR  the package's folder (Setup.ini, pastascripts, Audio, Info, "
         "Extras);\n"
         "                     by default the executable's folder\n";
}

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
  if (!options.ui.empty() && ui::FindFrontEnd(options.ui) == nullptr) {
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

// The program is a GUI-subsystem one and starts without a console. Started from a console
// window, the text front ends and the usage text write to that console; started with pipes or
// files (tests, deployment tools) it has them already and keeps them.
void UseParentConsole() {
  auto missing = [](DWORD which) {
    HANDLE h = GetStdHandle(which);
    return h == nullptr || h == INVALID_HANDLE_VALUE;
  };
  const bool in = missing(STD_INPUT_HANDLE), out = missing(STD_OUTPUT_HANDLE),
             err = missing(STD_ERROR_HANDLE);
  if (!(in || out || err) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (in) std::freopen("CONIN$", "r", stdin);
  if (out) std::freopen("CONOUT$", "w", stdout);
  if (err) std::freopen("CONOUT$", "w", stderr);
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

int Run(int argc, char** argv) {
  Options options;
  std::string error;
  const bool parsed = ParseOptions(argc, argv, options, error);
#ifdef _WIN32
  if (!parsed || (!options.ui.empty() && options.ui != "win32")) UseParentConsole();
#endif
  if (!parsed) {
    if (error.empty()) {
      std::fputs(Usage().c_str(), stdout);
      return 0;
    }
    std::fprintf(stderr, "instalador: %s\n%s", error.c_str(), Usage().c_str());
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
  const ui::FrontEndEntry& frontEnd =
      options.ui.empty() ? ui::DefaultFrontEnd(env) : *ui::FindFrontEnd(options.ui);
  if (!frontEnd.canRun(env)) {
    std::fprintf(stderr, "instalador: the front end '%s' cannot run here\n%s",
                 std::string(frontEnd.name).c_str(), Usage().c_str());
    return 2;
  }
  const std::string exeFolder = ExecutableFolder();
  const std::string hint = env.get("INSTALADOR_SOUND");
  ui::Services services{
      fs, profile, env, sleeper, folder, exeFolder, [&](std::string_view preferred) {
        return ui::MakeSoundDevice(hint, preferred, exeFolder);
      }};
  return frontEnd.run(services);
}

}  // namespace
}  // namespace inst

int main(int argc, char** argv) {
  return inst::Run(argc, argv);
}
