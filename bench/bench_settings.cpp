// ReadIniValue and WriteIniValue on a 1 MB INI file, each against the plain file operation it
// cannot avoid: reading the whole file, and copying it. Prints every ratio (target: within 3x).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/posix_profile.h"
#include "settings/ini_access.h"

namespace {

namespace fs = std::filesystem;

std::string folder;
std::string iniPath;

// About 1 MB: many sections of ordinary keys, the key looked up in the last one.
void makeFile() {
  std::string pattern = (fs::temp_directory_path() / "instalador-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  folder = pattern;
  iniPath = folder + "/bench.ini";
  std::string text = "; generated\r\n";
  for (int s = 0; text.size() < (1u << 20); ++s) {
    text += "[Section " + std::to_string(s) + "]\r\n";
    for (int k = 0; k < 12; ++k) {
      text += "key" + std::to_string(k) + " = some value for key " + std::to_string(k) + "\r\n";
    }
    text += "\r\n";
  }
  text += "[Last]\r\nfirst=1\r\ntarget=found\r\nafter=2\r\n";
  std::ofstream(iniPath, std::ios::binary) << text;
}

std::string readWhole(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  fstat(fd, &st);
  std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  close(fd);
  return bytes;
}

void BM_ReadWholeFile(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(readWhole(iniPath));
}
BENCHMARK(BM_ReadWholeFile);

void BM_ReadIniValue(benchmark::State& state) {
  inst::PosixProfile profile;
  for (auto _ : state) {
    std::string value = inst::ReadIniValue(profile, "Last", "target", iniPath);
    if (value != "found") state.SkipWithError("wrong value");
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_ReadIniValue);

// The file-system work any safe rewrite does: read, write a new file, rename it over the old.
void BM_CopyFile(benchmark::State& state) {
  const std::string temp = folder + "/copy.tmp";
  const std::string copy = folder + "/copy.ini";
  for (auto _ : state) {
    const std::string bytes = readWhole(iniPath);
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      state.SkipWithError("write failed");
    }
    close(fd);
    rename(temp.c_str(), copy.c_str());
  }
}
BENCHMARK(BM_CopyFile);

void BM_WriteIniValue(benchmark::State& state) {
  inst::PosixProfile profile;
  int i = 0;
  for (auto _ : state) {
    // A different value every time, so that every call rewrites the file.
    inst::WriteIniValue(profile, "Last", "target", (i++ % 2) ? "found" : "FOUND", iniPath);
  }
  inst::WriteIniValue(profile, "Last", "target", "found", iniPath);
}
BENCHMARK(BM_WriteIniValue);

// Keeps each benchmark's time per iteration for the ratios printed at the end.
class Reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      real[run.benchmark_name()] = run.GetAdjustedRealTime();
      cpu[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
  }
  std::map<std::string, double> real, cpu;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  makeFile();
  Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto ratio = [&](const char* what, const char* baseline) {
    if (!reporter.real.count(what) || !reporter.real.count(baseline)) return;
    std::printf("%-16s / %-16s = %.2fx real time, %.2fx CPU time (target: within 3x)\n", what,
                baseline, reporter.real[what] / reporter.real[baseline],
                reporter.cpu[what] / reporter.cpu[baseline]);
  };
  std::printf("\nFile: %s, %ju bytes\n", iniPath.c_str(),
              static_cast<std::uintmax_t>(fs::file_size(iniPath)));
  ratio("BM_ReadIniValue", "BM_ReadWholeFile");
  ratio("BM_WriteIniValue", "BM_CopyFile");
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  benchmark::Shutdown();
  return 0;
}
