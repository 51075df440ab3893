// Times one install of a large package into 4 versions x 3 language folders with the POSIX back
// ends, against `cp -r` of the same files into the same folders followed by `sync` (an install
// puts every file on the disk before it renames it, so the fair baseline ends on the disk too),
// and shows that an install's peak memory does not grow with the size of the files it copies.
// Last, the cost of the backups: the same install over folders that already hold every file of
// the package with other bytes (each one is kept first) and with the same bytes (none is).
//
//   bench_install [repetitions]      (release build; well under a minute on tmpfs)
//   bench_install --make-package DIR (only writes the 100 MB package, for bench_silent.sh)
//   bench_install --compare DIR N    (only the comparison with cp -r + sync, N runs each, on the
//                                     package DIR made before: two builds can take turns on it)
//   bench_install --records          (only the reading of backup records, also run last)
//
// The files go to BENCH_DIR, else /dev/shm when it exists, else TMPDIR or /tmp. On a memory file
// system the figures compare the work each side does, not the disk's write-back of 1.2 GB: the
// cost of the flushes shows only on a real disk (BENCH_DIR on one).
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "install/install.h"
#include "platform/posix/posix_environment.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_profile.h"
#include "platform/posix/posix_sleeper.h"
#include "undo/record.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 5000;
const char* const kVersions[] = {"17.0", "16.0", "15.0", "14.0"};
const char* const kLanguages[] = {"ENU", "PTB", "PTG"};

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(2);
  }
}

// A package of kFiles files totalling about `totalBytes`, spread over nested folders
// (10 top folders x 10 subfolders x 50 files), sizes varying from half to one and a half times
// the mean. Same seed for every size, so the two packages differ only in file size.
void MakePackage(const fs::path& exe, std::size_t totalBytes) {
  WriteFile(exe / "Setup.ini",
            "[Configurations]\r\nApplication=notepad\r\nScriptName=bloco\r\n"
            "ModifyScriptName=1\r\nExtras=0\r\n");
  std::mt19937_64 random(42);
  const std::size_t mean = totalBytes / kFiles;
  std::uniform_int_distribution<std::size_t> size(mean / 2, mean + mean / 2);
  std::string bytes;
  for (int i = 0; i < kFiles; ++i) {
    bytes.resize(size(random));
    for (std::size_t j = 0; j < bytes.size(); j += 8) {
      const std::uint64_t word = random();
      bytes.replace(j, std::min<std::size_t>(8, bytes.size() - j),
                    reinterpret_cast<const char*>(&word),
                    std::min<std::size_t>(8, bytes.size() - j));
    }
    const fs::path file = exe / "pastascripts" / ("pasta" + std::to_string(i % 10)) /
                          ("sub" + std::to_string(i / 10 % 10)) /
                          ("script" + std::to_string(i) + ".jsb");
    WriteFile(file, bytes);
  }
}

// Four versions with three language folders each, and shared folders with confignames.ini.
void MakeSandbox(const fs::path& root) {
  fs::remove_all(root);
  for (const char* v : kVersions) {
    for (const char* l : kLanguages) {
      fs::create_directories(root / "Roaming" / "freedom scientific" / "jaws" / v / "settings" / l);
      WriteFile(root / "ProgramData" / "Freedom scientific" / "jaws" / v / "settings" / l /
                    "confignames.ini",
                "[ConfigNames]\r\nwordpad=wordpad\r\n");
    }
  }
}

std::vector<fs::path> LanguageFolders(const fs::path& root) {
  std::vector<fs::path> out;
  for (const char* v : kVersions) {
    for (const char* l : kLanguages) {
      out.push_back(root / "Roaming" / "freedom scientific" / "jaws" / v / "settings" / l);
    }
  }
  return out;
}

bool Install(const fs::path& exe, const fs::path& sandbox) {
  setenv("APPDATA", (sandbox / "Roaming").c_str(), 1);
  setenv("ALLUSERSPROFILE", (sandbox / "ProgramData").c_str(), 1);
  inst::PosixFileSystem fileSystem;
  inst::PosixProfile profile;
  inst::PosixEnvironment env;
  inst::PosixSleeper sleeper;
  std::array<inst::VersionBox, 4> boxes;
  for (std::size_t i = 0; i < 4; ++i) boxes[i] = inst::VersionBox{kVersions[i], 1};
  const inst::Status st = inst::RunInstall(inst::InstallServices{fileSystem, profile, env, sleeper},
                                           exe.string(), (exe / "Setup.ini").string(), boxes, 4);
  if (!st.ok())
    std::fprintf(stderr, "install failed: %s: %s\n", st.path().c_str(), st.reason().c_str());
  return st.ok();
}

int Spawn(std::vector<std::string> args, rusage* usage = nullptr) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  rusage ignored;
  wait4(pid, &status, 0, usage ? usage : &ignored);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool CopyWithCp(const fs::path& exe, const fs::path& sandbox) {
  for (const fs::path& folder : LanguageFolders(sandbox)) {
    if (Spawn({"cp", "-r", (exe / "pastascripts").string() + "/.", folder.string()}) != 0) {
      return false;
    }
  }
  return Spawn({"sync"}) == 0;
}

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Peak resident set of a fresh process that installs `exe` into a fresh sandbox, in KiB.
long PeakRss(const std::string& self, const fs::path& exe, const fs::path& sandbox) {
  MakeSandbox(sandbox);
  rusage usage = {};
  if (Spawn({self, "--install", exe.string(), sandbox.string()}, &usage) != 0) return -1;
  fs::remove_all(sandbox);
  return usage.ru_maxrss;
}

// A record as a hand edit could make it, of about `bytes`: one folder of entries, each with its
// file, section, key and old value, numbered as the record numbers them.
std::string HandEditedRecord(std::size_t bytes) {
  std::string text = inst::undo::FormatHeader("20261207-120000", "pacote") +
                     "\r\n[ENU]\r\nFolder=C:\\Users\\ana\\Settings\\ENU\r\n";
  for (int n = 1; text.size() < bytes; ++n) {
    const std::string entry = "Entry" + std::to_string(n);
    text += entry + "=C:\\ProgramData\\confignames.ini\r\n" + entry + ".Section=ConfigNames\r\n" +
            entry + ".Key=app" + std::to_string(n) + "\r\n" + entry + ".Old=valor\r\n";
  }
  return text;
}

// The time to read a record grows with its size, not its square: 1 KB against the 16 MiB that
// the installer reads at most.
void RecordBench() {
  std::printf("reading a backup record (ParseRecord, median of 5):\n");
  for (const std::size_t bytes :
       {std::size_t{1} << 10, std::size_t{1} << 20, std::size_t{16} << 20}) {
    const std::string text = HandEditedRecord(bytes - 200);
    std::vector<double> times;
    std::size_t entries = 0;
    for (int r = 0; r < 5; ++r) {
      std::vector<std::string> skipped;
      const auto start = Clock::now();
      const inst::undo::RunRecord record = inst::undo::ParseRecord(text, skipped);
      times.push_back(Seconds(Clock::now() - start));
      entries = record.folders.empty() ? 0 : record.folders[0].entries.size();
    }
    std::printf("  %9zu bytes, %7zu entries: median %.4f s\n", text.size(), entries, Median(times));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--records") {
    RecordBench();
    return 0;
  }
  if (argc == 4 && std::string(argv[1]) == "--install") {
    return Install(argv[2], argv[3]) ? 0 : 1;
  }
  // For bench/bench_silent.sh, which times the built program on the same package.
  if (argc == 3 && std::string(argv[1]) == "--make-package") {
    MakePackage(argv[2], 100u << 20);
    return 0;
  }
  const bool compareOnly = argc == 4 && std::string(argv[1]) == "--compare";
  const int repetitions = std::max(1, std::atoi(argc > 1 ? argv[compareOnly ? 3 : 1] : "5"));
  fs::path base = "/tmp";
  if (const char* dir = std::getenv("BENCH_DIR")) {
    base = dir;
  } else if (fs::is_directory("/dev/shm")) {
    base = "/dev/shm";
  } else if (const char* tmp = std::getenv("TMPDIR")) {
    base = tmp;
  }
  const fs::path root = base / ("instalador-bench-" + std::to_string(getpid()));
  const fs::path big = compareOnly ? fs::path(argv[2]) : root / "pacote-100MB";
  const fs::path small = root / "pacote-10MB";
  const fs::path sandbox = root / "maquina";

  if (!compareOnly) {
    std::printf("making packages of %d files (100 MB and 10 MB) in %s...\n", kFiles, base.c_str());
    MakePackage(big, 100u << 20);
    MakePackage(small, 10u << 20);
  }

  std::vector<double> install, cp;
  for (int r = 0; r < repetitions; ++r) {
    // Alternate which goes first so neither always meets the other's write-back.
    for (int turn = 0; turn < 2; ++turn) {
      const bool engine = (turn == 0) == (r % 2 == 0);
      MakeSandbox(sandbox);
      sync();
      const auto start = Clock::now();
      const bool ok = engine ? Install(big, sandbox) : CopyWithCp(big, sandbox);
      const double s = Seconds(Clock::now() - start);
      if (!ok) return 1;
      (engine ? install : cp).push_back(s);
      fs::remove_all(sandbox);
    }
  }
  std::printf("copy of 100 MB in %d files into 12 language folders (%d runs each):\n", kFiles,
              repetitions);
  std::printf("  RunInstall (POSIX back ends): median %.3f s, best %.3f s\n", Median(install),
              *std::min_element(install.begin(), install.end()));
  std::printf("  cp -r, 12 runs, then sync:     median %.3f s, best %.3f s\n", Median(cp),
              *std::min_element(cp.begin(), cp.end()));
  std::printf(
      "  ratio install / cp -r + sync: median %.2fx, best %.2fx (target <= 1.2x)\n",
      Median(install) / Median(cp),
      *std::min_element(install.begin(), install.end()) / *std::min_element(cp.begin(), cp.end()));
  if (compareOnly) {
    fs::remove_all(root);
    return 0;
  }

  const std::string self = fs::canonical("/proc/self/exe").string();
  const long rssSmall = PeakRss(self, small, sandbox);
  const long rssBig = PeakRss(self, big, sandbox);
  std::printf("peak RSS of one install (fresh process, %d files into 12 folders):\n", kFiles);
  std::printf(
      "  10 MB package:  %ld KiB\n  100 MB package: %ld KiB\n  ratio: %.2fx for 10x the bytes\n",
      rssSmall, rssBig, static_cast<double>(rssBig) / static_cast<double>(rssSmall));

  // Over folders that already hold the package's names: the 10 MB package has other bytes in
  // every file, the 100 MB package itself the same ones.
  std::vector<double> differ, same;
  for (int r = 0; r < repetitions; ++r) {
    for (int turn = 0; turn < 2; ++turn) {
      const bool allDiffer = (turn == 0) == (r % 2 == 0);
      MakeSandbox(sandbox);
      if (!CopyWithCp(allDiffer ? small : big, sandbox)) return 1;
      const auto start = Clock::now();
      if (!Install(big, sandbox)) return 1;
      (allDiffer ? differ : same).push_back(Seconds(Clock::now() - start));
      fs::remove_all(sandbox);
    }
  }
  std::printf("install of the 100 MB package over %d files already in each of 12 folders:\n",
              kFiles);
  std::printf("  every file differs (all kept first): median %.3f s, best %.3f s\n", Median(differ),
              *std::min_element(differ.begin(), differ.end()));
  std::printf("  no file differs (none kept):         median %.3f s, best %.3f s\n", Median(same),
              *std::min_element(same.begin(), same.end()));
  std::printf("  ratio: median %.2fx\n", Median(differ) / Median(same));

  RecordBench();
  fs::remove_all(root);
  return 0;
}
