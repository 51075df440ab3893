// One full install (two versions, two language folders each, every step active) with its k-th
// fallible operation failing, for every k: the install must report it, do nothing after it, and
// leave every file either as it was or complete, with no temporary file behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/jaws_sandbox.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace inst::testing {
namespace {

using FailWith = std::function<Status(const std::string&, const std::function<Status()>&)>;

// The log with the sandbox's own folder left out, so the logs of two sandboxes compare.
std::vector<std::string> Relative(const JawsSandbox& box) {
  std::vector<std::string> out;
  for (std::string line : box.rec.log) {
    for (std::size_t at; (at = line.find(box.root())) != std::string::npos;) {
      line.replace(at, box.root().size(), "<root>");
    }
    out.push_back(line);
  }
  return out;
}

// Runs the install with its k-th fallible operation failing (k = 0: none fails). Files the
// install replaces or edits are there beforehand, so "as it was" and "complete" differ.
struct Attempt {
  Attempt(int k, const FailWith& fail = nullptr) {
    box.populate({"ENU", "PTB"});
    box.write(box.user("17.0", "ENU") + "\\leitor.jss", "older package source");
    box.write(box.user("16.0", "PTB") + "\\Default.jkm", "[Common Keys]\r\nInsert+T=Title\r\n");
    before = box.snapshot();
    box.rec.failAt = k;
    if (fail) box.rec.fail = fail;
    st = box.run();
    after = box.snapshot();
  }
  JawsSandbox box;
  std::map<std::string, std::string> before, after;
  Status st;
};

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

void ExpectFailedCleanly(const Attempt& run, const Attempt& full, int k) {
  SCOPED_TRACE("operation " + std::to_string(k));
  ASSERT_FALSE(run.st.ok());
  EXPECT_FALSE(run.st.reason().empty());
  // The failure names a file or folder of this machine.
  EXPECT_EQ(Normalized(run.st.path()).rfind(Normalized(run.box.root()) + "/", 0), 0u)
      << run.st.path();
  EXPECT_EQ(Relative(run.box), CutAfter(Relative(full.box), k));

  for (const auto& [rel, bytes] : run.after) {
    EXPECT_EQ(rel.find(".instalador-tmp-"), std::string::npos) << "temporary file left: " << rel;
    auto was = full.before.find(rel);
    auto complete = full.after.find(rel);
    const bool asItWas = was != full.before.end() && was->second == bytes;
    const bool asComplete = complete != full.after.end() && complete->second == bytes;
    EXPECT_TRUE(asItWas || asComplete) << "torn or stray: " << rel;
  }
}

TEST(FaultInjection, EveryOperationRefused) {
  Attempt full(0);
  ASSERT_TRUE(full.st.ok()) << full.st.path() << ": " << full.st.reason();
  // Per version one listing; per folder the package copy, ConfigNames, three copies, key map.
  ASSERT_EQ(full.box.rec.fallible, 2 + 4 * 6);
  for (int k = 1; k <= full.box.rec.fallible; ++k) {
    Attempt run(k);
    ExpectFailedCleanly(run, full, k);
  }
}

#ifndef _WIN32
// The same, but the operation really runs and the system stops it in the middle of writing:
// a file-size limit makes every write past a few bytes fail, as a full disk would.
TEST(FaultInjection, EveryWriteCutShort) {
  Attempt full(0);
  ASSERT_TRUE(full.st.ok());
  struct sigaction ignore = {}, previous = {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
  const FailWith cutShort = [](const std::string&, const std::function<Status()>& op) {
    rlimit saved = {};
    getrlimit(RLIMIT_FSIZE, &saved);
    // Small files of the package fit, the larger ones and every INI rewrite do not.
    rlimit small = saved;
    small.rlim_cur = 12;
    setrlimit(RLIMIT_FSIZE, &small);
    Status st = op();
    setrlimit(RLIMIT_FSIZE, &saved);
    return st;
  };
  int writes = 0;
  for (int k = 1; k <= full.box.rec.fallible; ++k) {
    if (CutAfter(full.box.rec.log, k).back().rfind("subFolders ", 0) == 0) continue;
    ++writes;
    Attempt run(k, cutShort);
    ExpectFailedCleanly(run, full, k);
  }
  EXPECT_EQ(writes, 4 * 6);
  sigaction(SIGXFSZ, &previous, nullptr);
}
#endif

}  // namespace
}  // namespace inst::testing
