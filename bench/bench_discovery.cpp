// Version discovery over a JAWS root with 10,000 subfolders, against the bare cost of listing
// that folder. Discovery adds case-insensitive resolution, the folder test, the NTFS sort and
// the qualifying test; the target is to stay within 3x of the listing.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "jaws/discovery.h"
#include "platform/posix/posix_file_system.h"

namespace {

namespace fs = std::filesystem;
constexpr int kFolders = 10000;

struct Sandbox {
  std::string base, nativeRoot, windowsRoot;
  Sandbox() {
    std::string pattern = (fs::temp_directory_path() / "instalador-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    base = pattern;
    nativeRoot = base + "/Freedom Scientific/Jaws";
    windowsRoot = base + "\\freedom scientific\\JAWS";  // resolved ignoring case, as in use
    fs::create_directories(nativeRoot);
    // Created in a scrambled order; one in ten never qualifies.
    for (int i = 0; i < kFolders; ++i) {
      int n = (i * 7919) % kFolders;
      std::string name = n % 10 == 9 ? "Settings" + std::to_string(n) : std::to_string(n) + ".0";
      fs::create_directory(nativeRoot + "/" + name);
    }
  }
  ~Sandbox() {
    std::error_code ec;
    fs::remove_all(base, ec);
  }
};

Sandbox* sandbox = nullptr;

void Listing(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(sandbox->nativeRoot))
      if (e.is_directory()) names.push_back(e.path().filename().string());
    benchmark::DoNotOptimize(names.data());
  }
  state.SetItemsProcessed(state.iterations() * kFolders);
}

void Discovery(benchmark::State& state) {
  inst::PosixFileSystem fileSystem;
  for (auto _ : state) {
    inst::jaws::Discovery d =
        inst::jaws::DiscoverVersions(fileSystem, sandbox->windowsRoot, 0, "T");
    if (d.stop || d.versionCount != 10) state.SkipWithError("discovery found the wrong versions");
    benchmark::DoNotOptimize(d.checkboxes.data());
  }
  state.SetItemsProcessed(state.iterations() * kFolders);
}

BENCHMARK(Listing)->Unit(benchmark::kMillisecond);
BENCHMARK(Discovery)->Unit(benchmark::kMillisecond);

class Capture : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> realTime;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (!r.error_occurred) realTime[r.benchmark_name()] = r.GetAdjustedRealTime();
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Sandbox box;
  sandbox = &box;
  Capture reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto listing = reporter.realTime.find("Listing"), discovery = reporter.realTime.find("Discovery");
  if (listing != reporter.realTime.end() && discovery != reporter.realTime.end())
    std::printf("discovery / listing over %d folders: %.2fx (target: within 3x)\n", kFolders,
                discovery->second / listing->second);
  benchmark::Shutdown();
  return 0;
}
