// One full install (two versions, two language folders each, every step active) with its k-th
// fallible operation failing, for every k: the install must report it and do nothing after it;
// the language folder it failed in (with its shared entries) is byte for byte as it was, those
// before it are complete, and no temporary file is left behind.
#include <gtest/gtest.h>

#include <set>
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
    box.write(box.user("16.0", "PTB") + "\\sub\\notas.txt", "the user's notes");
    before = box.snapshot(false);
    box.rec.failAt = k;
    if (fail) box.rec.fail = fail;
    st = box.run();
    after = box.snapshot(false);
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
    bool fallible = false;
    for (const char* op : {"subFolders ", "copy", "iniWrite ", "makeFolders ", "writeFile ",
                           "removeFile ", "removeFolder "})
      fallible |= line.rfind(op, 0) == 0;
    if (fallible && ++seen == k) {
      out.back() += " !";
      break;
    }
  }
  return out;
}

// What a path belongs to: "17.0/ENU" for a language folder of a version and its shared
// folder, "" for the rest of the machine.
std::string Unit(const std::string& rel) {
  const std::size_t at = rel.find("/settings/");
  if (at == std::string::npos) return "";
  const std::size_t version = rel.rfind('/', at - 1) + 1;
  const std::size_t end = rel.find('/', at + 10);
  return rel.substr(version, at - version) + "/" + rel.substr(at + 10, end - at - 10);
}

std::map<std::string, std::string> Only(const std::map<std::string, std::string>& tree,
                                        const std::string& unit) {
  std::map<std::string, std::string> out;
  for (const auto& [rel, bytes] : tree)
    if (Unit(rel) == unit) out.emplace(rel, bytes);
  return out;
}

void ExpectFailedCleanly(const Attempt& run, const Attempt& full, int k) {
  SCOPED_TRACE("operation " + std::to_string(k));
  ASSERT_FALSE(run.st.ok());
  EXPECT_FALSE(run.st.reason().empty());
  // The failure names a file or folder of this machine.
  EXPECT_EQ(Normalized(run.st.path()).rfind(Normalized(run.box.root()) + "/", 0), 0u)
      << run.st.path();
  // Up to the failure the run did what the full run did; after it, only the putting back.
  const std::vector<std::string> cut = CutAfter(Relative(full.box), k);
  std::vector<std::string> done = Relative(run.box);
  ASSERT_GE(done.size(), cut.size());
  done.resize(cut.size());
  EXPECT_EQ(done, cut);

  // Each language folder is whole: as it was, or (for those before the failure) complete.
  std::set<std::string> units;
  for (const auto* tree : {&full.before, &full.after, &run.after})
    for (const auto& [rel, bytes] : *tree) units.insert(Unit(rel));
  for (const std::string& unit : units) {
    const auto now = Only(run.after, unit);
    EXPECT_TRUE(now == Only(full.before, unit) || now == Only(full.after, unit))
        << "half-installed: " << unit;
  }
  // A failure inside a folder (anything but a version's listing) says that it was put back.
  if (cut.back().rfind("subFolders ", 0) != 0) {
    EXPECT_NE(run.st.note().find("foi deixada como estava antes"), std::string::npos)
        << run.st.note();
  }
  for (const auto& [rel, bytes] : run.after)
    EXPECT_EQ(rel.find(".instalador-tmp-"), std::string::npos) << "temporary file left: " << rel;
}

TEST(FaultInjection, EveryOperationRefused) {
  Attempt full(0);
  ASSERT_TRUE(full.st.ok()) << full.st.path() << ": " << full.st.reason();
  // Per version one listing; per folder the package copy, ConfigNames, three copies, key map,
  // and what the backups take.
  ASSERT_GT(full.box.rec.fallible, 2 + 4 * 6);
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
    // Only what writes bytes can be cut short.
    const std::string op = CutAfter(full.box.rec.log, k).back();
    if (op.rfind("copy", 0) != 0 && op.rfind("iniWrite ", 0) != 0 && op.rfind("writeFile ", 0) != 0)
      continue;
    ++writes;
    Attempt run(k, cutShort);
    ExpectFailedCleanly(run, full, k);
  }
  EXPECT_GT(writes, 4 * 6);
  sigaction(SIGXFSZ, &previous, nullptr);
}
#endif

}  // namespace
}  // namespace inst::testing
