// The one place that reads the options, picks the back ends and the front end, and wires them.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "check/package_check.h"
#include "trace/dry_run.h"
#include "trace/log_file.h"
#include "trace/logged_services.h"
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
#include <sys/stat.h>
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
    if (entry.name == "silent") continue;
    if (!names.empty()) names += '|';
    names += entry.name;
  }
  return "usage: instalador [--ui=" + names +
         "] [--package-dir DIR] [--log FILE]\n"
         "       instalador --silent [--versions LIST|all] [--dry-run] [--package-dir DIR] "
         "[--log FILE]\n"
         "       instalador --check [--package-dir DIR]\n"
         "       instalador --version | --help\n"
         "\n"
         "  --ui=NAME          the front end; by default the desktop one where it can run,\n"
         "                     else headless (driven by lines on standard input)\n"
         "  --package-dir DIR  the package's folder (Setup.ini, pastascripts, Audio, Info, "
         "Extras);\n"
         "                     by default the executable's folder\n"
         "  --log FILE         append every setting read, version found and offered, file\n"
         "                     copied, INI entry written, message, sound command and pause to\n"
         "                     FILE, one timed line each (UTF-8)\n"
         "  --silent           install without any window, message box or sound; messages go\n"
         "                     to standard error\n"
         "  --versions LIST    with --silent: the JAWS versions to install into, separated by\n"
         "                     commas (17.0,2025), or all; by default the one the window ticks\n"
         "  --dry-run          with --silent: write nothing; print every file that would be\n"
         "                     copied, every INI entry that would be written and every step\n"
         "                     that would be skipped\n"
         "  --check            check the package as its author ships it; findings in\n"
         "                     Portuguese on standard output, exit 1 when there is an erro\n"
         "  --version          print the version\n"
         "  --help             print this text\n"
#ifdef _WIN32
         "\n"
         "Options may also be written with / and in any case: /SILENT, /S (--silent), /? "
         "(--help).\n"
#endif
         "\n"
         "Exit status: 0 installed (or would install, with --dry-run); 1 start-up stop (no\n"
         "Setup.ini, no JAWS version found); 2 usage error or a log that cannot be opened;\n"
         "3 --versions named a version not offered; 4 the installation failed part way.\n";
}

struct Options {
  std::string ui;  // empty: the platform's desktop front end, or headless where none is built
  std::string packageDir;
  std::string log;
  std::string versions;
  std::set<std::string> given;  // the options named, by their long name
  bool has(const char* name) const { return given.count(name) != 0; }
};

constexpr std::string_view kValued[] = {"ui", "package-dir", "log", "versions"};
constexpr std::string_view kFlags[] = {"silent", "dry-run", "check", "version", "help"};

bool IsOneOf(std::string_view name, std::span<const std::string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The long name an argument spells, "" when it is no option. On Windows "/" may stand for
// "--", in any case, and /S and /? are the short forms administrators know.
std::string OptionName(std::string_view arg, std::string_view& value, bool& hasValue) {
  std::string_view body;
  if (arg.starts_with("--")) {
    body = arg.substr(2);
#ifdef _WIN32
  } else if (arg.starts_with("/") && arg.size() > 1) {
    body = arg.substr(1);
#endif
  } else if (arg == "-h") {
    return "help";
  } else {
    return "";
  }
  const std::size_t equals = body.find('=');
  hasValue = equals != std::string_view::npos;
  if (hasValue) value = body.substr(equals + 1);
  std::string name(body.substr(0, equals));
#ifdef _WIN32
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (name == "s") name = "silent";
  if (name == "?") name = "help";
#endif
  return name;
}

bool HasAName(const std::string& list) {
  return list.find_first_not_of(", \t") != std::string::npos;
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    std::string_view value;
    bool hasValue = false;
    const std::string name = OptionName(arg, value, hasValue);
    if (name.empty()) {
      error = "unexpected argument: " + std::string(arg);
      return false;
    }
    const bool valued = IsOneOf(name, kValued);
    if (!valued && !IsOneOf(name, kFlags)) {
      error = "unknown option: " + std::string(arg);
      return false;
    }
    if (!options.given.insert(name).second) {
      error = "--" + name + " is given twice";
      return false;
    }
    if (!valued) {
      if (hasValue) {
        error = "--" + name + " takes no value";
        return false;
      }
      continue;
    }
    if (!hasValue) {
      // "--log --silent" leaves the log without a name rather than naming it "--silent".
      if (i + 1 >= argc || std::string_view(argv[i + 1]).starts_with("--")) {
        error = "--" + name + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    std::string text(value);
    if (name == "ui") options.ui = text;
    if (name == "package-dir") options.packageDir = text;
    if (name == "log") options.log = text;
    if (name == "versions") options.versions = text;
    if (text.empty() && name != "versions") {
      error = "--" + name + " needs a value";
      return false;
    }
  }

  const std::size_t count = options.given.size();
  if ((options.has("help") || options.has("version")) && count > 1) {
    error = std::string("--") + (options.has("help") ? "help" : "version") +
            " goes with no other option";
    return false;
  }
  if (options.has("check") && count > 1 + (options.has("package-dir") ? 1 : 0)) {
    error = "--check goes with no other option than --package-dir";
    return false;
  }
  if (options.has("silent") && options.has("ui")) {
    error = "--silent and --ui cannot go together";
    return false;
  }
  if (options.ui == "silent") {
    options.ui.clear();
    options.given.insert("silent");
  }
  for (const char* needsSilent : {"versions", "dry-run"}) {
    if (options.has(needsSilent) && !options.has("silent")) {
      error = std::string("--") + needsSilent + " goes only with --silent";
      return false;
    }
  }
  if (options.has("versions") && !HasAName(options.versions)) {
    error = "--versions needs at least one version name, or all";
    return false;
  }
  if (!options.ui.empty() && ui::FindFrontEnd(options.ui) == nullptr) {
    error = "this build has no front end '" + options.ui + "'";
    return false;
  }
  return true;
}

// Prints a dry run's plan: the copies and writes the services would make, and the steps the
// installation passes over (the application's other events go to the log only).
class PlanPrinter final : public EventSink {
 public:
  explicit PlanPrinter(bool onlySkips) : onlySkips_(onlySkips) {}
  void event(const std::string& line) override {
    if (onlySkips_ && !line.starts_with("skip ")) return;
    // Buffered: a plan of thousands of lines is read when the run has ended.
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }

 private:
  bool onlySkips_;
};

// Opens the log for appending, or says why it cannot be. A file marked read-only is refused
// as Windows refuses it, whoever runs the program.
std::FILE* OpenLog(const std::string& path, std::string& why) {
#ifdef _WIN32
  std::FILE* file = _wfopen(win32::toWide(path).c_str(), L"ab");
#else
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) {
    why = std::strerror(EACCES);
    return nullptr;
  }
  std::FILE* file = std::fopen(path.c_str(), "ab");
#endif
  if (!file) why = std::strerror(errno);
  return file;
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
  // Everything but the window answers on the console the program was started from.
  const bool window = parsed && !options.has("help") && !options.has("version") &&
                      !options.has("check") && !options.has("silent") &&
                      (options.ui.empty() || options.ui == "win32");
  if (!window) UseParentConsole();
#endif
  if (!parsed) {
    std::fprintf(stderr, "instalador: %s\n%s", error.c_str(), Usage().c_str());
    return 2;
  }
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  if (options.has("help")) {
    std::fputs(Usage().c_str(), stdout);
    return 0;
  }
  if (options.has("version")) {
    std::fputs("instalador " INSTALADOR_VERSION "\n", stdout);
    return 0;
  }
  std::string folder =
      options.packageDir.empty() ? ExecutableFolder() : FolderPath(Absolute(options.packageDir));

#ifdef _WIN32
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

  if (options.has("check")) {
    bool failed = false;
    for (const check::Finding& finding : check::CheckPackage(fs, profile, folder)) {
      failed |= finding.severity == check::Severity::Error;
      std::fputs((check::FormatFinding(finding) + "\n").c_str(), stdout);
    }
    return failed ? 1 : 0;
  }

  const ui::FrontEndEntry& frontEnd = options.has("silent") ? *ui::FindFrontEnd("silent")
                                      : options.ui.empty()  ? ui::DefaultFrontEnd(env)
                                                            : *ui::FindFrontEnd(options.ui);
  if (!frontEnd.canRun(env)) {
    std::fprintf(stderr, "instalador: the front end '%s' cannot run here\n%s",
                 std::string(frontEnd.name).c_str(), Usage().c_str());
    return 2;
  }

  std::unique_ptr<trace::LogFile> log;
  if (options.has("log")) {
    std::string why;
    std::FILE* file = OpenLog(options.log, why);
    if (!file) {
      std::fprintf(stderr, "instalador: cannot open the log %s: %s\n", options.log.c_str(),
                   why.c_str());
      return 2;
    }
    log = std::make_unique<trace::LogFile>(file);
  }

  // The services as the front end gets them: a dry run's plan over the real ones, and the
  // log over whatever runs.
  FileSystem* files = &fs;
  Profile* settings = &profile;
  Sleeper* pause = &sleeper;
  EventFanOut events;
  PlanPrinter plan(false), skips(true);
  std::optional<trace::DryRun> dryRun;
  if (options.has("dry-run")) {
    dryRun.emplace(fs, profile, plan);
    files = &dryRun->fs();
    settings = &dryRun->profile();
    events.add(skips);
  }
  std::optional<trace::LoggedFileSystem> loggedFs;
  std::optional<trace::LoggedProfile> loggedProfile;
  std::optional<trace::LoggedSleeper> loggedSleeper;
  if (log) {
    files = &loggedFs.emplace(*files, *log);
    settings = &loggedProfile.emplace(*settings, *log);
    pause = &loggedSleeper.emplace(*pause, *log);
    events.add(*log);
  }

  const std::string exeFolder = ExecutableFolder();
  // An unattended run makes no sound, whatever the user's hint.
  const std::string hint = options.has("silent") ? "silent" : env.get("INSTALADOR_SOUND");
  ui::Services services{{*files, *settings, env, *pause, events.empty() ? nullptr : &events},
                        folder,
                        exeFolder,
                        [&](std::string_view preferred) -> std::unique_ptr<MciPort> {
                          auto device = ui::MakeSoundDevice(hint, preferred, exeFolder);
                          if (!log) return device;
                          return std::make_unique<trace::LoggedMciPort>(std::move(device), *log);
                        },
                        options.versions};
  return frontEnd.run(services);
}

}  // namespace
}  // namespace inst

int main(int argc, char** argv) {
  return inst::Run(argc, argv);
}
