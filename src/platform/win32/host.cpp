#include "platform/host.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform/plain_files.h"
#include "platform/sound/silent_device.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_environment.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_mci.h"
#include "platform/win32/win32_profile.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_sleeper.h"

// What ends the program when an exception escapes everything (main catches them all; one
// thrown while another unwinds still can): at once, as the C++ library's default handler does,
// but without its message. That message, the exception's demangled type on standard error,
// reaches nobody from a program without a console, and the demangler behind it is 45 KB of a
// program that must stay small. Defined here, the library's own is not linked.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
  std::abort();
}
}  // namespace __gnu_cxx

namespace inst::host {
namespace {

std::unique_ptr<MciPort> MakeWinmm(const std::string&) {
  return std::make_unique<Win32MciPort>();
}

// The system reads Windows paths as they are.
std::unique_ptr<MciPort> MakeSilent(const std::string&) {
  return MakeSilentMciPort([](const std::string& path) { return path; });
}

std::string gDoomed;  // what an interruption removes

// Runs on a thread of its own, while the program still runs: what the program holds open
// stays, and goes with the next start's leftovers.
BOOL WINAPI RemoveDoomed(DWORD) {
  (void)files::RemoveTree(gDoomed);
  return FALSE;  // and the system's own handling ends the program
}

constexpr std::array kSoundDevices{
    SoundDeviceEntry{"winmm", MakeWinmm},
    SoundDeviceEntry{"silent", MakeSilent},
};

}  // namespace

NativeServices MakeNativeServices() {
  return {std::make_unique<Win32FileSystem>(), std::make_unique<Win32Profile>(),
          std::make_unique<Win32Environment>(), std::make_unique<Win32Sleeper>(),
          std::make_unique<Win32Registry>()};
}

bool SlashOptions() {
  return true;
}

std::string ExecutablePath() {
  std::wstring buffer(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return win32::toUtf8(std::wstring_view(buffer.data(), n));
}

std::string ExecutableFolder() {
  const std::string path = ExecutablePath();
  const std::size_t end = path.find_last_of("\\/");
  if (end == std::string::npos) return std::string();
  // A drive's root keeps its separator.
  return path.substr(0, end == 2 && path[1] == ':' ? end + 1 : end);
}

std::string AbsolutePath(const std::string& path) {
  std::wstring wide = win32::toWide(path);
  std::wstring buffer(32768, L'\0');
  DWORD n =
      GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  return n ? win32::toUtf8(std::wstring_view(buffer.data(), n)) : path;
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

void BinaryStandardStreams() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

std::FILE* OpenForAppending(const std::string& path, std::string& why) {
  std::FILE* file = _wfopen(win32::toWide(path).c_str(), L"ab");
  if (!file) why = std::strerror(errno);
  return file;
}

void ShowStartupFailure(const std::string& text) {
  MessageBoxW(nullptr, win32::toWide(text).c_str(), L"instalador", MB_OK | MB_ICONERROR);
}

void RemoveOnInterrupt(const std::string& folder) {
  gDoomed = folder;
  SetConsoleCtrlHandler(RemoveDoomed, TRUE);
}

void* LoadModule(const std::string& path, std::string& why) {
  // A full path, whose own imports come from its folder or the system's, never the current one.
  HMODULE module = LoadLibraryExW(win32::toWide(path).c_str(), nullptr,
                                  LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr) why = win32::errorText(GetLastError());
  return reinterpret_cast<void*>(module);
}

void* ModuleFunction(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

std::span<const SoundDeviceEntry> SoundDevices() {
  return kSoundDevices;
}

}  // namespace inst::host
