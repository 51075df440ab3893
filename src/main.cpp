// The one place that reads the options, picks the back ends and the front end, and wires them.

#include <cstdio>
#include <exception>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/package_check.h"
#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/usage.h"
#include "install/program_entry.h"
#include "platform/host.h"
#include "text/event_line.h"
#include "trace/dry_run.h"
#include "trace/log_file.h"
#include "trace/logged_services.h"
#include "trace/traced_program_list.h"
#include "ui/carried_package.h"
#include "ui/front_ends.h"
#include "ui/sound_devices.h"
#include "undo/keeper.h"

namespace inst {
namespace {

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

// The folder as the installer uses it: absolute, no trailing separator except at a root.
// A message on standard error, in pieces so that the last resort builds no string.
void Complain(std::initializer_list<const char*> pieces) {
  std::fputs("instalador: ", stderr);
  for (const char* piece : pieces) std::fputs(piece, stderr);
}

std::string FolderPath(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\') &&
         !(path.size() == 3 && path[1] == ':'))
    path.pop_back();
  return path;
}

int Run(int argc, char** argv) {
  const std::string started = undo::StampNow();
  std::vector<std::string_view> frontEnds, offered;
  for (const ui::FrontEndEntry& entry : ui::FrontEnds()) {
    frontEnds.push_back(entry.name);
    if (!entry.demandOnly) offered.push_back(entry.name);
  }
  const cli::Syntax syntax = host::SlashOptions() ? cli::Syntax::Windows : cli::Syntax::Posix;
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const cli::Parsed parsed = cli::Parse(args, syntax, frontEnds);
  const cli::Options& options = parsed.options;
  const std::string usage = cli::Usage(syntax, offered);

  host::NativeServices native = host::MakeNativeServices();
  FileSystem& fs = *native.fs;
  Profile& profile = *native.profile;
  Environment& env = *native.env;
  Sleeper& sleeper = *native.sleeper;

  // The front end, when the run goes to one.
  const ui::FrontEndEntry* frontEnd = nullptr;
  if (parsed.ok() && !options.has("help") && !options.has("version") && !options.has("check") &&
      !options.has("bundle"))
    // --uninstall with a window front end is the uninstall window.
    frontEnd = options.has("silent") || (options.has("uninstall") && options.ui.empty())
                   ? ui::FindFrontEnd("silent")
               : options.ui.empty() ? &ui::DefaultFrontEnd(env)
                                    : ui::FindFrontEnd(options.ui);
  // Everything but a window answers on the console the program was started from.
  if (frontEnd == nullptr || frontEnd->textual) host::UseParentConsole();
  if (!parsed.ok()) {
    Complain({parsed.error.c_str(), "\n", usage.c_str()});
    return Code(ExitStatus::Usage);
  }
  host::BinaryStandardStreams();
  if (options.has("help")) {
    std::fputs(usage.c_str(), stdout);
    return Code(ExitStatus::Done);
  }
  if (options.has("version")) {
    std::fputs("instalador " INSTALADOR_VERSION "\n", stdout);
    return Code(ExitStatus::Done);
  }
  const std::string exePath = host::ExecutablePath();
  const std::string exeFolder = FolderPath(host::ExecutableFolder());
  std::string folder =
      options.packageDir.empty() ? exeFolder : FolderPath(host::AbsolutePath(options.packageDir));

  if (options.has("bundle"))
    return ui::WriteBundleCommand(fs, profile, exePath, folder, host::AbsolutePath(options.bundle));
  // A bundle runs the package it carries, unless told to run another; everything below (the
  // front end, the log, the sound) ends before the unpacked folder goes.
  ui::CarriedPackage carried;
  if (options.packageDir.empty()) {
    if (!carried.open(exePath, frontEnd != nullptr && !frontEnd->textual))
      return Code(ExitStatus::StartupStop);
    if (!carried.folder().empty()) folder = carried.folder();
  }

  if (options.has("check")) {
    bool failed = false;
    for (const check::Finding& finding : check::CheckPackage(fs, profile, folder)) {
      failed |= finding.severity == check::Severity::Error;
      std::fputs((check::FormatFinding(finding) + "\n").c_str(), stdout);
    }
    return Code(failed ? ExitStatus::StartupStop : ExitStatus::Done);
  }

  if (!frontEnd->canRun(env)) {
    Complain({"a interface '", std::string(frontEnd->name).c_str(), "' não pode rodar aqui\n",
              usage.c_str()});
    return Code(ExitStatus::Usage);
  }

  std::unique_ptr<trace::LogFile> log;
  if (options.has("log")) {
    std::string why;
    std::FILE* file = host::OpenForAppending(options.log, why);
    if (!file) {
      Complain({"não foi possível abrir o log ", options.log.c_str(), ": ", why.c_str(), "\n"});
      return Code(ExitStatus::Usage);
    }
    log = std::make_unique<trace::LogFile>(file);
    // A log that takes no line (a full disk, /dev/full) would leave the administrator trusting
    // an empty file: the run does not start.
    log->event(EventLine("start").bare("version", INSTALADOR_VERSION).str());
    if (!log->ok()) {
      Complain({"não foi possível escrever no log ", options.log.c_str(), ": ",
                log->failure().c_str(), "\n"});
      return Code(ExitStatus::Usage);
    }
  }

  // The services as the front end gets them: a dry run's plan over the real ones, and the
  // log over whatever runs.
  FileSystem* files = &fs;
  Profile* settings = &profile;
  Sleeper* pause = &sleeper;
  KeptPrograms keptPrograms(*native.registry, exePath);
  ProgramList* programs = &keptPrograms;
  EventFanOut events;
  PlanPrinter plan(false), skips(true);
  std::optional<trace::DryRun> dryRun;
  std::optional<trace::DryRunProgramList> plannedPrograms;
  if (options.has("dry-run")) {
    dryRun.emplace(fs, profile, plan);
    files = &dryRun->fs();
    settings = &dryRun->profile();
    programs = &plannedPrograms.emplace(*programs, plan, exePath);
    events.add(skips);
  }
  std::optional<trace::LoggedFileSystem> loggedFs;
  std::optional<trace::LoggedProfile> loggedProfile;
  std::optional<trace::LoggedSleeper> loggedSleeper;
  std::optional<trace::LoggedProgramList> loggedPrograms;
  if (log) {
    files = &loggedFs.emplace(*files, *log);
    programs = &loggedPrograms.emplace(*programs, *log, exePath);
    settings = &loggedProfile.emplace(*settings, *log);
    pause = &loggedSleeper.emplace(*pause, *log);
    events.add(*log);
  }

  // An unattended run makes no sound, whatever the user's hint.
  const std::string hint =
      options.has("silent") || options.has("uninstall") ? "silent" : env.get("INSTALADOR_SOUND");
  ui::Services services{
      {*files, *settings, env, *pause, events.empty() ? nullptr : &events, programs},
      folder,
      exeFolder,
      [&](std::string_view preferred) -> std::unique_ptr<MciPort> {
        auto device = ui::OpenedOnDemand(
            [&hint, &exeFolder, preferred = std::string(preferred)] {
              return ui::MakeSoundDevice(hint, preferred, exeFolder);
            },
            ui::MakeSoundDevice("silent", "silent", exeFolder));
        if (!log) return device;
        return std::make_unique<trace::LoggedMciPort>(std::move(device), *log);
      },
      options.versions,
      options.has("uninstall"),
      started};
  const int status = frontEnd->run(services);
  if (log && !log->ok()) Complain({"o log está incompleto: ", log->failure().c_str(), "\n"});
  return status;
}

}  // namespace
}  // namespace inst

int main(int argc, char** argv) {
  // An exception no front end caught still unwinds the run, so what it holds (a bundle's
  // unpacked package) goes, and ends with the status of an unexpected error.
  try {
    return inst::Run(argc, argv);
  } catch (const std::exception& e) {
    inst::Complain({"erro inesperado: ", e.what(), "\n"});
  } catch (...) {
    inst::Complain({"erro inesperado\n"});
  }
  return inst::Code(inst::ExitStatus::Unexpected);
}
