// Install then uninstall, over a table of machines: every file of the user's tree is byte for
// byte as it was (the backup folder aside), and a second uninstall finds nothing to do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/jaws_sandbox.h"

namespace inst::testing {
namespace {

struct Machine {
  const char* name;
  std::vector<std::string> versions;
  std::vector<std::string> languages;
  bool userFiles;          // the user has files of the package's names, and its subfolder
  const char* configName;  // the confignames entry before: nullptr none, else its value
  const char* keyMap;      // Default.jkm before: nullptr none
  bool defaultStep;        // Extras on and no default script of the user's
};

TEST(Undo, InstallThenUninstallLeavesTheTreeAsItWas) {
  const Machine machines[] = {
      {"fresh", {"17.0"}, {"ENU"}, false, nullptr, nullptr, true},
      // The user's files begin (or end) with the package's bytes.
      {"same beginning", {"17.0"}, {"PTB"}, true, nullptr, nullptr, false},
      {"own files", {"17.0", "16.0"}, {"ENU", "PTB"}, true, nullptr, nullptr, true},
      {"entries there",
       {"2025"},
       {"PTB"},
       true,
       "outro",
       "[Common Keys]\r\nInsert+T=Title\r\n",
       true},
      {"key taken",
       {"2025", "17.0"},
       {"Ptb", "ENU"},
       false,
       "antigo",
       "[Common Keys]\r\nwindows+backspace=mine\r\n",
       true},
      {"no default step", {"16.0"}, {"ENU", "PTG"}, true, "outro", nullptr, false},
  };
  for (const Machine& m : machines) {
    SCOPED_TRACE(m.name);
    JawsSandbox box;
    std::array<VersionBox, 4> boxes{};
    for (std::size_t i = 0; i < m.versions.size(); ++i) {
      const std::string& v = m.versions[i];
      boxes[i] = {v, 1};
      box.addUser(v, m.languages);
      for (const std::string& language : m.languages) {
        box.addShared(v, language);
        const std::string u = box.user(v, language);
        if (m.userFiles) {
          box.write(u + "\\leitor.jss", std::string(m.name) == "same beginning"
                                            ? "package source, and mine"
                                            : "the user's own " + v + language);
          if (std::string(m.name) == "same beginning")
            box.write(u + "\\RedidUzizu.jsb", "marker script");
          box.write(u + "\\SUB\\notas.txt", "the user's notes");
        }
        if (m.configName)
          box.write(box.shared(v, language) + "\\confignames.ini",
                    std::string("[ConfigNames]\r\nnotepad=") + m.configName + "\r\n");
        if (m.keyMap) box.write(u + "\\Default.jkm", m.keyMap);
      }
    }
    if (!m.defaultStep) box.setting("Extras", "0");
    const auto versionCount = static_cast<std::int16_t>(m.versions.size());
    const auto before = box.snapshot(false);

    ASSERT_TRUE(box.run(boxes, versionCount).ok());
    const std::string u = box.user(m.versions[0], m.languages[0]);
    ASSERT_EQ(box.read(u + "\\leitor.jss"), "package source");
    ASSERT_EQ(box.isFile(u + "\\Default.jsb"), m.defaultStep);

    UninstallReport report;
    Status st = box.uninstall(boxes, versionCount, report);
    ASSERT_TRUE(st.ok()) << st.path() << ": " << st.reason();
    EXPECT_TRUE(report.found);
    EXPECT_TRUE(report.notes.empty()) << report.notes.front();
    EXPECT_EQ(box.snapshot(false), before);

    UninstallReport again;
    ASSERT_TRUE(box.uninstall(boxes, versionCount, again).ok());
    EXPECT_FALSE(again.found);
    EXPECT_TRUE(again.notes.empty()) << again.notes.front();
    EXPECT_EQ(box.snapshot(false), before);
  }
}

// What the user changed since, and what another package replaced, stays; the uninstall says so.
// A kept copy that no longer matches its record is not brought back.
TEST(Undo, KeepsWhatIsNoLongerThePackages) {
  JawsSandbox box;
  box.populate({"ENU"});
  const std::string u = box.user("17.0", "ENU");
  box.write(u + "\\leitor.jss", "the user's own");
  box.write(u + "\\RedidUzizu.jsb", "the user's marker");
  ASSERT_TRUE(box.run().ok());
  box.write(u + "\\sub\\notas.txt", "edited by the user");
  // The kept copy of the marker is damaged.
  std::vector<SubFolder> stamps;
  ASSERT_TRUE(box.fs().subFolders(box.settingsFolder("17.0") + "instalador-backup", stamps).ok());
  ASSERT_EQ(stamps.size(), 1u);
  box.write(stamps[0].path + "\\ENU\\RedidUzizu.jsb", "damaged");

  UninstallReport report;
  // The rest is undone; the run ends with the kept copy that could not come back.
  const Status st = box.uninstall({VersionBox{"17.0", 1}, {}, {}, {}}, 1, report);
  ASSERT_FALSE(st.ok());
  EXPECT_NE(st.path().find("RedidUzizu.jsb"), std::string::npos) << st.path();
  EXPECT_NE(st.reason().find(stamps[0].path), std::string::npos) << st.reason();
  EXPECT_EQ(box.read(u + "\\leitor.jss"), "the user's own");
  EXPECT_EQ(box.read(u + "\\sub\\notas.txt"), "edited by the user");
  EXPECT_EQ(box.read(u + "\\RedidUzizu.jsb"), "package marker script");
  ASSERT_EQ(report.notes.size(), 2u);
  const std::string notes = report.notes[0] + "\n" + report.notes[1];
  EXPECT_NE(notes.find("notas.txt: não tem os bytes do pacote"), std::string::npos) << notes;
  EXPECT_NE(notes.find("RedidUzizu.jsb: a cópia de segurança"), std::string::npos) << notes;
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
