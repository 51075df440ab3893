#include "platform/host.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

#include "platform/plain_files.h"
#include "platform/posix/native_path.h"
#include "platform/posix/posix_environment.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_profile.h"
#include "platform/posix/posix_registry.h"
#include "platform/posix/posix_sleeper.h"
#include "platform/sound/silent_device.h"

namespace inst::host {
namespace {

std::string NativePath(const std::string& path) {
  return posix::resolvePath(path);
}

#ifdef INSTALADOR_HAVE_SDL
// SDL_mixer and the libraries behind it live in a module beside the executable, loaded only
// when sound goes through SDL.
std::unique_ptr<MciPort> MakeSdl(const std::string& exeFolder) {
  std::string why;
  void* module = LoadModule(exeFolder + "/instalador-sdl.so", why);
  if (module == nullptr) return nullptr;
  using Factory = MciPort* (*)(const std::function<std::string(const std::string&)>*);
  auto factory = reinterpret_cast<Factory>(ModuleFunction(module, "instalador_sdl_port"));
  if (factory == nullptr) return nullptr;
  std::function<std::string(const std::string&)> resolver = NativePath;
  return std::unique_ptr<MciPort>(factory(&resolver));
}
#endif

std::unique_ptr<MciPort> MakeSilent(const std::string&) {
  return MakeSilentMciPort(NativePath);
}

// What an interruption removes, listed beforehand with what goes first first (a folder's
// contents before it): a signal handler may make only the system's simplest calls.
std::vector<std::string> gDoomed;
std::vector<char> gDoomedFolder;

void ListDoomed(const std::string& path) {
  const bool folder = files::KindOf(path, false) == files::Kind::Folder;
  std::vector<std::string> names;
  if (folder && files::List(path, names))
    for (const std::string& name : names) ListDoomed(path + "/" + name);
  gDoomed.push_back(path);
  gDoomedFolder.push_back(folder ? 1 : 0);
}

extern "C" void RemoveDoomedAndEnd(int signal) {
  for (std::size_t i = 0; i < gDoomed.size(); ++i)
    gDoomedFolder[i] ? rmdir(gDoomed[i].c_str()) : unlink(gDoomed[i].c_str());
  // Ends as the signal would have: the status says which one.
  ::signal(signal, SIG_DFL);
  raise(signal);
}

constexpr std::array kSoundDevices{
#ifdef INSTALADOR_HAVE_SDL
    SoundDeviceEntry{"sdl", MakeSdl},
#endif
    SoundDeviceEntry{"silent", MakeSilent},
};

}  // namespace

NativeServices MakeNativeServices() {
  return {std::make_unique<PosixFileSystem>(), std::make_unique<PosixProfile>(),
          std::make_unique<PosixEnvironment>(), std::make_unique<PosixSleeper>(),
          std::make_unique<PosixRegistry>()};
}

bool SlashOptions() {
  return false;
}

std::string ExecutablePath() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

std::string ExecutableFolder() {
  const std::string exe = ExecutablePath();
  // The parent of an absolute path never ends in a separator but at the root.
  return exe.empty() ? std::filesystem::current_path().string()
                     : std::filesystem::path(exe).parent_path().string();
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(path, ec);
  return ec ? path : full.lexically_normal().string();
}

void UseParentConsole() {}  // a POSIX program always has the streams it was started with

void BinaryStandardStreams() {}  // POSIX streams never translate line ends

std::FILE* OpenForAppending(const std::string& path, std::string& why) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) {
    why = posix::reasonText(EACCES);
    return nullptr;
  }
  // O_NONBLOCK: a pipe that nobody reads must be refused, not wait for a reader for ever.
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) {
    why = errno == ENXIO ? "ninguém está lendo deste pipe" : posix::reasonText(errno);
    return nullptr;
  }
  // A reader is there: from now on a write waits for it, as writes to a pipe do.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = fdopen(fd, "ab");
  if (!file) {
    why = posix::reasonText(errno);
    close(fd);
  }
  return file;
}

void ShowStartupFailure(const std::string&) {}  // the GTK front end lives in its module

void RemoveOnInterrupt(const std::string& folder) {
  gDoomed.clear();
  gDoomedFolder.clear();
  ListDoomed(folder);
  struct sigaction action = {};
  action.sa_handler = RemoveDoomedAndEnd;
  sigfillset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old = {};
    if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_DFL)
      sigaction(signal, &action, nullptr);
  }
}

void* LoadModule(const std::string& path, std::string& why) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) why = dlerror();
  return module;
}

void* ModuleFunction(void* module, const char* name) {
  return dlsym(module, name);
}

std::span<const SoundDeviceEntry> SoundDevices() {
  return kSoundDevices;
}

}  // namespace inst::host
