// One full install (two versions, two language folders each, every step active) with its k-th
// fallible operation failing, for every k: the install must report it, do nothing after it, and
// leave every file either as it was or complete, with no temporary file behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/sandbox.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace inst::testing {
namespace {

// The log with the sandbox's own folder left out, so the logs of two sandboxes compare.
std::vector<std::string> Relative(const Sandbox& box) {
  std::vector<std::string> out;
  const std::string root = box.root();
  for (std::string line : box.rec.log) {
    for (std::size_t at; (at = line.find(root)) != std::string::npos;) {
      line.replace(at, root.size(), "<root>");
    }
    out.push_back(line);
  }
  return out;
}

void Prepare(Sandbox& box) {
  box.populate({"ENU", "PTB"});
  // Files the install replaces or edits, so "as it was" and "complete" differ.
  box.write(box.user("17.0", "ENU") + "\\leitor.jss", "older package source");
  box.write(box.user("16.0", "PTB") + "\\Default.jkm", "[Common Keys]\r\nInsert+T=Title\r\n");
}

struct Outcome {
  std::vector<std::string> log;
  std::map<std::string, std::string> before, after;
  int fallible = 0;
};

Outcome FullRun() {
  Sandbox box;
  Prepare(box);
  Outcome out;
  out.before = box.snapshot();
  const Status st = box.run();
  EXPECT_TRUE(st.ok()) << st.path() << ": " << st.reason();
  out.after = box.snapshot();
  out.log = Relative(box);
  out.fallible = box.rec.fallible;
  return out;
}

// The full run's log cut after its k-th fallible operation, which is marked as failed.
std::vector<std::string> CutAfter(const std::vector<std::string>& log, int k) {
  std::vector<std::string> out;
  int seen = 0;
  for (const std::string& line : log) {
    out.push_back(line);
    const bool fallible = line.rfind("subFolders ", 0) == 0 || line.rfind("copy", 0) == 0 ||
                          line.rfind("iniWrite ", 0) == 0;
    if (fallible && ++seen == k) {
      out.back() += " !";
      break;
    }
  }
  return out;
}

void CheckFailedRun(Sandbox& box, const Status& st, const Outcome& full, int k) {
  ASSERT_FALSE(st.ok());
  EXPECT_FALSE(st.reason().empty());
  // The failure names a file or folder of this machine.
  EXPECT_EQ(Normalized(st.path()).rfind(Normalized(box.root()) + "/", 0), 0u) << st.path();
  EXPECT_EQ(Relative(box), CutAfter(full.log, k));

  for (const auto& [rel, bytes] : box.snapshot()) {
    EXPECT_EQ(rel.find(".instalador-tmp-"), std::string::npos) << "temporary file left: " << rel;
    auto was = full.before.find(rel);
    auto complete = full.after.find(rel);
    const bool asItWas = was != full.before.end() && was->second == bytes;
    const bool asComplete = complete != full.after.end() && complete->second == bytes;
    EXPECT_TRUE(asItWas || asComplete) << "torn or stray: " << rel;
  }
}

TEST(FaultInjection, EveryOperationRefused) {
  const Outcome full = FullRun();
  // Per version one listing; per folder the package copy, ConfigNames, three copies, key map.
  ASSERT_EQ(full.fallible, 2 + 4 * 6);
  for (int k = 1; k <= full.fallible; ++k) {
    SCOPED_TRACE("operation " + std::to_string(k) + " refused");
    Sandbox box;
    Prepare(box);
    box.rec.failAt = k;
    const Status st = box.run();
    CheckFailedRun(box, st, full, k);
  }
}

#ifndef _WIN32
// The same, but the operation really runs and the system stops it in the middle of writing:
// a file-size limit makes every write past a few bytes fail, as a full disk would.
TEST(FaultInjection, EveryWriteCutShort) {
  const Outcome full = FullRun();
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction previous = {};
  ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);

  int writes = 0;
  for (int k = 1; k <= full.fallible; ++k) {
    if (CutAfter(full.log, k).back().rfind("subFolders ", 0) == 0) continue;  // writes nothing
    ++writes;
    SCOPED_TRACE("operation " + std::to_string(k) + " cut short");
    Sandbox box;
    Prepare(box);
    box.rec.failAt = k;
    box.rec.fail = [](const std::string&, const std::function<Status()>& run) {
      rlimit saved = {};
      getrlimit(RLIMIT_FSIZE, &saved);
      // Small files of the package fit, the larger ones and every INI rewrite do not.
      rlimit small = saved;
      small.rlim_cur = 12;
      setrlimit(RLIMIT_FSIZE, &small);
      Status st = run();
      setrlimit(RLIMIT_FSIZE, &saved);
      return st;
    };
    const Status st = box.run();
    CheckFailedRun(box, st, full, k);
  }
  EXPECT_EQ(writes, 4 * 6);
  sigaction(SIGXFSZ, &previous, nullptr);
}
#endif

}  // namespace
}  // namespace inst::testing
