// What an uninstall gives back, over histories of installations of several packages, and over
// records and backups that are not as a run left them.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "jaws/layout.h"
#include "support/jaws_sandbox.h"

namespace inst::testing {
namespace {

using Tree = std::map<std::string, std::string>;

// Packages a, a2 (a later version of a: the same Id when they are named), b and c, sharing file
// names and the confignames entry; the a's take the default-script step. Bytes: "<name> <file>".
struct Package {
  const char* name;
  const char* application;
  std::vector<std::string> files;
};
const Package kPackages[] = {
    {"a", "notepad", {"leitor.jss", "comum.jsb", "sub\\notas.txt", "so-a.jss"}},
    {"a2", "notepad", {"leitor.jss", "sub\\fundo\\x.jsd"}},
    {"b", "notepad", {"leitor.jss", "comum.jsb", "sub\\fundo\\x.jsd"}},
    {"c", "wordpad", {"comum.jsb", "sub\\notas.txt"}},
};
const char* const kNames[] = {"leitor.jss", "comum.jsb", "sub\\notas.txt", "sub\\fundo\\x.jsd",
                              "so-a.jss"};

// The user's things: a file of the settings trees by its path (its bytes), an INI entry by
// "<file>|<key>" (its value).
Tree Items(const Tree& tree) {
  Tree out;
  for (const auto& [path, bytes] : tree) {
    if (path.find("/settings/") == std::string::npos || bytes == "<folder>") continue;
    if (!path.ends_with(".ini") && !path.ends_with(".jkm")) out[path] = bytes;
    std::istringstream lines(path.ends_with(".ini") || path.ends_with(".jkm") ? bytes : "");
    for (std::string line; std::getline(lines, line);) {
      if (line.ends_with('\r')) line.pop_back();
      if (const auto eq = line.find('='); eq != std::string::npos && line[0] != '[')
        out[path + "|" + line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return out;
}

bool Holds(const Tree& items, const std::string& item, const std::string& value) {
  const auto there = items.find(item);
  return there != items.end() && there->second == value;
}

// A file's kept copy is at its path with the language folder in a stamp folder; an entry's old
// value is in a record.
bool Kept(const Tree& tree, const std::string& item, const std::string& value) {
  const std::size_t settings = item.find("/settings/") + 10;
  for (const auto& [path, bytes] : tree)
    if (item.find('|') != std::string::npos
            ? path.find("/instalador-backup/") != std::string::npos &&
                  bytes.find(".Old=" + value + "\r\n") != std::string::npos
            : path.starts_with(item.substr(0, settings) + "instalador-backup/") &&
                  path.ends_with("/" + item.substr(settings)) && bytes == value)
      return true;
  return false;
}

// The entries of two trees that differ, one a line.
std::string Differences(const Tree& a, const Tree& b) {
  std::string out;
  for (const Tree* one : {&a, &b})
    for (const auto& [key, value] : *one)
      if (!Holds(one == &a ? b : a, key, value)) out += "\n  " + key + " = " + value;
  return out;
}

// A model of a user's machine, run through random installations, reinstallations, uninstalls and
// edits of the user's own. After every step: nothing of the user's is lost (in place, or kept
// where the records lead); what no installation changed is still there; every run ends well;
// an uninstall leaves nothing it could still undo (a second one finds and changes nothing), and
// of a named package no version. Uninstalling everything in the reverse order of installation
// gives back the starting tree byte for byte. Seed 2212 found the last round's fault: in
// "install c, install a2, uninstall a2" it removed a file and an entry that held a2's bytes and
// value before any installation, and that no installation had changed.
// INSTALADOR_UNDO_SEQUENCES and INSTALADOR_UNDO_SEED choose how many sequences, from where.
TEST(Undo, HistoriesOfInstallsAndUninstallsGiveTheUserBackWhatTheyHad) {
  const char* count = std::getenv("INSTALADOR_UNDO_SEQUENCES");
  const char* first = std::getenv("INSTALADOR_UNDO_SEED");
#ifdef _WIN32
  const unsigned sequences = count ? std::atoi(count) : 30;  // every file operation under Wine
#else
  const unsigned sequences = count ? std::atoi(count) : 150;
#endif
  const unsigned seed0 = first ? std::atoi(first) : 2212;
  std::set<unsigned> seeds = {2212};  // the seeds that found a fault, always
  for (unsigned seed = seed0; seed < seed0 + sequences; ++seed) seeds.insert(seed);
  for (const unsigned seed : seeds) {
    std::mt19937 random(seed);
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    std::string story = "seed " + std::to_string(seed) + ":";
    JawsSandbox box;
    const std::vector<std::string> languages =
        pick(3) ? std::vector<std::string>{"ENU"} : std::vector<std::string>{"ENU", "PTB"};
    box.addUser("17.0", languages);
    const bool named = pick(2) == 0;
    const auto folder = [&](const Package& p) { return box.root() + "\\P-" + p.name; };
    const auto id = [&](const Package& p) {
      return named ? std::string("pacote-") + p.name[0] : std::string();
    };
    for (const Package& p : kPackages) {
      for (const std::string& f : p.files)
        box.write(folder(p) + "\\pastascripts\\" + f, std::string(p.name) + " " + f);
      box.write(folder(p) + "\\Extras\\extra1.ext", "default " + std::string(p.name));
      box.write(folder(p) + "\\Setup.ini",
                std::string("[Configurations]\r\nApplication=") + p.application +
                    "\r\nScriptName=script-" + p.name +
                    "\r\nModifyScriptName=1\r\nExtras=" + (p.name[0] == 'a' ? "1" : "0") + "\r\n");
    }
    // Files of the packages' names with the user's own bytes or a package's; a confignames
    // entry of the user's or already holding a package's value; a key map of the user's.
    for (const std::string& language : languages) {
      box.addShared("17.0", language, false);
      const std::string u = box.user("17.0", language);
      for (const char* name : kNames)
        if (const std::size_t what = pick(4); what < 2)
          box.write(u + "\\" + name,
                    (what ? kPackages[pick(4)].name : "mine") + (" " + std::string(name)));
      const std::size_t what = pick(3);
      box.write(
          box.shared("17.0", language) + "\\confignames.ini",
          "[ConfigNames]\r\nexcel=excel\r\n" +
              (what ? "notepad=" +
                          (what == 1 ? "meu" : "script-" + std::string(kPackages[pick(4)].name)) +
                          "\r\n"
                    : ""));
      if (pick(2))
        box.write(u + "\\Default.jkm", pick(2) ? "[Common Keys]\r\nInsert+T=T\r\n"
                                               : "[Common Keys]\r\nwindows+backspace=mine\r\n");
    }

    const std::array<VersionBox, 4> boxes{VersionBox{"17.0", 1}, {}, {}, {}};
    const InstallServices services{box.fs(), box.profile(), box.env(), box.sleeper()};
    const Tree start = box.snapshot(false), atStart = Items(start);
    Tree untouched = atStart;  // what no installation changed
    // Never to be lost: what the user had, and what they wrote since.
    std::set<std::pair<std::string, std::string>> mine(atStart.begin(), atStart.end());
    std::vector<const Package*> installed;
    bool edited = false;

    const auto check = [&] {
      const Tree tree = box.snapshot(true), now = Items(tree);
      for (const auto& [item, value] : mine)
        EXPECT_TRUE(Holds(now, item, value) || Kept(tree, item, value))
            << story << ": lost " << item << " = " << value;
      for (const auto& [item, value] : untouched)
        EXPECT_TRUE(Holds(now, item, value))
            << story << ": changed, never installed over: " << item;
    };
    const auto install = [&](const Package& p) {
      story += std::string(" install ") + p.name;
      const Tree before = Items(box.snapshot(false));
      const std::string stamp = "20261207-12" + std::to_string(10000 + installed.size()).substr(1);
      const Status st = RunInstall(services, folder(p), folder(p) + "\\Setup.ini", boxes, 1,
                                   nullptr, stamp, id(p));
      ASSERT_TRUE(st.ok()) << story << ": " << st.path() << ": " << st.reason();
      const Tree after = Items(box.snapshot(false));
      std::erase_if(untouched, [&](const auto& item) {
        return !Holds(after, item.first, before.at(item.first));
      });
      installed.push_back(&p);
    };
    const auto uninstall = [&](const Package& p) {
      story += std::string(" uninstall ") + p.name;
      UninstallReport report, again;
      const std::string setup = folder(p) + "\\Setup.ini";
      const Status st = RunUninstall(services, folder(p), setup, boxes, 1, report, id(p));
      ASSERT_TRUE(st.ok()) << story << ": " << st.path() << ": " << st.reason();
      const Tree after = box.snapshot(false);
      for (const auto& [item, value] : Items(after))
        for (const Package& v : kPackages)
          EXPECT_FALSE(!id(p).empty() && id(v) == id(p) && !Holds(atStart, item, value) &&
                       (value.starts_with(std::string(v.name) + " ") ||
                        (item.ends_with(std::string("|") + v.application) &&
                         value == "script-" + std::string(v.name))))
              << story << ": a version of the package stays: " << item << " = " << value;
      ASSERT_TRUE(RunUninstall(services, folder(p), setup, boxes, 1, again, id(p)).ok());
      EXPECT_FALSE(again.found) << story << ": a second uninstall found something";
      EXPECT_EQ(Differences(after, box.snapshot(false)), "") << story << ": a second uninstall";
    };

    for (std::size_t step = 0, steps = 2 + pick(4); step < steps && !HasFailure(); ++step) {
      if (const std::size_t what = pick(10); what < 6 || installed.empty()) {
        install(kPackages[pick(4)]);
      } else if (what < 9) {
        uninstall(*installed[pick(installed.size())]);
      } else {
        const std::string path =
            box.user("17.0", languages[pick(languages.size())]) + "\\" + kNames[pick(5)];
        story += " edit " + path.substr(path.rfind("17.0"));
        const Tree before = Items(box.snapshot(false));
        box.write(path, "edited in step " + std::to_string(step));
        for (const auto& [item, value] : Items(box.snapshot(false))) {
          if (Holds(before, item, value)) continue;
          // What the user overwrites is theirs to lose.
          if (before.count(item)) mine.erase({item, before.at(item)});
          mine.insert({item, value});
          untouched.erase(item);
        }
        edited = true;
      }
      if (!HasFatalFailure()) check();
    }
    for (auto p = installed.rbegin(); p != installed.rend() && !HasFailure(); ++p) {
      uninstall(**p);
      check();
    }
    if (!edited && !HasFailure()) {
      EXPECT_EQ(Differences(start, box.snapshot(false)), "") << story << ": not the start";
    }
    if (HasFailure()) break;
  }
}

// Records and backups that are not as a run left them, and an uninstall meeting another run:
// nothing of the user's is lost, nothing untrusted is written back, and a kept copy that cannot
// come back leaves the package's file and fails the run, naming both.
TEST(Undo, BadRecordsAndBackupsLoseNothing) {
  const auto native = [](std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
  };
  const std::string mine = "the user's own", theirs = "package source";
  std::unique_ptr<FileLock> held;
  std::thread other;
  std::atomic<bool> released{false};
  struct Case {
    const char* name;
    std::function<void(JawsSandbox&, std::string record, std::string kept)> spoil;
    const std::string& leitor;  // afterwards; the package's means the run fails
    bool ok = true;
  };
  const Case cases[] = {
      {"a damaged kept copy", [&](auto& box, auto, auto kept) { box.write(kept, "damaged"); },
       theirs},
      {"a folder for a kept copy",
       [&](auto& box, auto, auto kept) { box.remove(kept), box.makeFolder(kept); }, theirs},
#ifndef _WIN32
      {"a link for a kept copy",
       [&](auto& box, auto, auto kept) {
         box.remove(kept);
         box.write(box.root() + "\\elsewhere", mine);
         std::filesystem::create_symlink(native(box.root() + "\\elsewhere"), native(kept));
       },
       theirs},
#endif
      {"a run repeated, one from the future",
       [&](auto& box, auto, auto) {
         const std::string stamps = box.settingsFolder("17.0") + "instalador-backup\\";
         std::filesystem::copy(native(stamps + "20261207-120000"),
                               native(stamps + "29991231-235959"),
                               std::filesystem::copy_options::recursive);
       },
       mine},
      {"runs out of order: the later one under an earlier name",
       [&](auto& box, auto, auto) {
         box.write(box.user("17.0", "ENU") + "\\leitor.jss", "edited since");
         ASSERT_TRUE(RunInstall(InstallServices{box.fs(), box.profile(), box.env(), box.sleeper()},
                                box.exe(), box.setupIni(), {VersionBox{"17.0", 1}, {}, {}, {}}, 1,
                                nullptr, "20261207-110000")
                         .ok());
       },
       mine},
      {"a record as the last round's program wrote it",
       [&](auto& box, auto record, auto) {
         std::istringstream lines(box.read(record));
         std::string text;
         for (std::string line; std::getline(lines, line);)
           if (line.find(".Wrote=") == std::string::npos && line.find(".New=") == std::string::npos)
             text += line + "\n";
         box.write(record, text);
       },
       mine},
      {"a record naming a file the package does not ship",
       [&](auto& box, auto record, auto) {
         box.write(record, box.read(record) + "\r\n[ENU]\r\nCreated9=outro.jss\r\n");
       },
       mine},
      {"old values with a line break or a NUL",
       [&](auto& box, auto record, auto) {
         std::string text = box.read(record);
         box.write(record, text.replace(text.find(".Old=antigo"), 11, ".Old=x%0D%0Ab=c%00"));
       },
       mine, false},
      {"a record of 16 MiB",
       [&](auto& box, auto record, auto) {
         std::string text = box.read(record) + "\r\n[ENU]\r\n";
         for (int n = 100; text.size() < kMaxTextFileBytes - 100; ++n)
           text += "Entry" + std::to_string(n) + "=C:\\x.ini\r\nEntry" + std::to_string(n) +
                   ".Section=S\r\nEntry" + std::to_string(n) + ".Key=k\r\n";
         box.write(record, text);
       },
       mine},
      {"another run holds the lock for a while",
       [&](auto& box, auto, auto) {
         ASSERT_TRUE(box.fs().lockFile(jaws::InstallLockFile(box.env().get("appdata")), held).ok());
         other = std::thread([&] {
           std::this_thread::sleep_for(std::chrono::milliseconds(300));
           released = true;
           held.reset();
         });
       },
       mine},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JawsSandbox box;
    box.addUser("17.0", {"ENU"});
    box.addShared("17.0", "ENU");
    const std::string u = box.user("17.0", "ENU") + "\\";
    const std::string names = box.shared("17.0", "ENU") + "\\confignames.ini";
    box.write(u + "leitor.jss", mine);
    box.write(u + "outro.jss", "not the package's");
    box.write(names, "[ConfigNames]\r\nnotepad=antigo\r\n");
    const std::array<VersionBox, 4> boxes{VersionBox{"17.0", 1}, {}, {}, {}};
    ASSERT_TRUE(box.run(boxes, 1).ok());
    const std::string stamp = box.settingsFolder("17.0") + "instalador-backup\\20261207-120000\\";
    c.spoil(box, stamp + "instalador-backup.ini", stamp + "ENU\\leitor.jss");
    if (HasFatalFailure()) return;

    UninstallReport report;
    const Status st = box.uninstall(boxes, 1, report);
    if (other.joinable()) {
      EXPECT_TRUE(released.load()) << "did not wait for the lock";
      other.join();
    }
    const bool ok = c.ok && &c.leitor == &mine;
    EXPECT_EQ(st.ok(), ok) << st.path() << ": " << st.reason();
    EXPECT_EQ(box.read(u + "leitor.jss"), c.leitor);
    EXPECT_EQ(box.read(u + "outro.jss"), "not the package's");
    EXPECT_EQ(box.read(names),
              std::string("[ConfigNames]\r\nnotepad=") + (c.ok ? "antigo" : "bloco") + "\r\n");
    EXPECT_TRUE(ok || !report.notes.empty());
    if (&c.leitor == &theirs) {
      EXPECT_NE(st.path().find("leitor.jss"), std::string::npos) << st.path();
      EXPECT_NE(st.reason().find(stamp + "ENU\\leitor.jss"), std::string::npos) << st.reason();
    }
  }
}

// When putting the folder back fails too, the message says what is left and where its backup is.
TEST(Undo, APutBackThatFailsSaysWhatIsLeft) {
  // The copy of Default.jsb is refused, and so is the first step of putting the folder back.
  JawsSandbox box, probe;
  for (JawsSandbox* each : {&box, &probe}) {
    each->populate({"ENU"});
    each->write(each->user("17.0", "ENU") + "\\leitor.jss", "the user's own");
  }
  ASSERT_TRUE(probe.run().ok());
  const auto copy = std::find_if(probe.rec.log.begin(), probe.rec.log.end(), [](auto& line) {
    return line.rfind("copyFile ", 0) == 0 && line.ends_with("\\Default.jsb");
  });
  ASSERT_NE(copy, probe.rec.log.end());
  box.rec.failAt = static_cast<int>(std::count_if(probe.rec.log.begin(), copy + 1, [](auto& l) {
    for (const char* op : {"subFolders ", "copy", "iniWrite ", "makeFolders ", "writeFile "})
      if (l.rfind(op, 0) == 0) return true;
    return false;
  }));
  box.rec.fail = [&](const std::string& path, const std::function<Status()>&) {
    box.rec.failAt = box.rec.fallible + 1;
    return Status::failure(path, "injected fault");
  };
  const Status st = box.run();
  ASSERT_FALSE(st.ok());
  EXPECT_NE(st.path().find("Default.jsb"), std::string::npos) << st.path();
  for (const char* part : {"Não foi possível deixar a pasta ", "injected fault", "guardado em "})
    EXPECT_NE(st.note().find(part), std::string::npos) << st.note();
}

}  // namespace
}  // namespace inst::testing
