// The install walk over versions, language folders and the ConfigNames entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "support/jaws_sandbox.h"

namespace inst::testing {
namespace {

const std::array<std::string, 4> kVersions = {"17.0", "16.0", "15.0", "14.0"};

std::array<VersionBox, 4> Boxes(std::array<int, 4> ticks) {
  std::array<VersionBox, 4> boxes;
  for (std::size_t i = 0; i < 4; ++i) boxes[i] = VersionBox{kVersions[i], ticks[i]};
  return boxes;
}

bool Has(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

TEST(Install, VisitsTickedVersionsBelowCountAndFour) {
  const struct {
    const char* name;
    std::int16_t count;
    std::array<int, 4> ticks;
    std::vector<std::string> missing;  // versions without a settings folder
    std::vector<std::string> listed;
    const char* failedVersion;  // null: the install succeeds
  } cases[] = {
      {"count zero", 0, {1, 1, 1, 1}, {}, {}, nullptr},
      {"count negative", -3, {1, 1, 1, 1}, {}, {}, nullptr},
      {"count one", 1, {1, 1, 1, 1}, {}, {"17.0"}, nullptr},
      {"only the second ticked", 2, {0, 1, 0, 0}, {}, {"16.0"}, nullptr},
      {"gapped ticks", 4, {1, 0, 1, 0}, {}, {"17.0", "15.0"}, nullptr},
      {"any non-zero value ticks", 4, {0, 2, 0, -1}, {}, {"16.0", "14.0"}, nullptr},
      {"count five", 5, {1, 1, 1, 1}, {}, {"17.0", "16.0", "15.0", "14.0"}, nullptr},
      {"count ten", 10, {1, 1, 1, 1}, {}, {"17.0", "16.0", "15.0", "14.0"}, nullptr},
      {"ticks beyond the count", 2, {0, 0, 1, 1}, {}, {}, nullptr},
      {"unticked missing folders", 4, {0, 1, 0, 1}, {"17.0", "15.0"}, {"16.0", "14.0"}, nullptr},
      {"ticked missing folder stops", 4, {1, 1, 1, 1}, {"16.0"}, {"17.0", "16.0"}, "16.0"},
      {"first ticked missing stops all", 3, {1, 0, 1, 1}, {"17.0"}, {"17.0"}, "17.0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    JawsSandbox box;
    for (const std::string& v : kVersions) {
      if (!Has(c.missing, v)) box.addUser(v, {"ENU"});
    }
    const Status st = box.run(Boxes(c.ticks), c.count);

    std::vector<std::string> listings;
    for (const std::string& v : c.listed) listings.push_back("subFolders " + box.settingsFolder(v));
    EXPECT_EQ(box.rec.lines("subFolders "), listings);
    if (c.failedVersion) {
      ASSERT_FALSE(st.ok());
      EXPECT_EQ(Normalized(st.path()), Normalized(box.settingsFolder(c.failedVersion)));
      EXPECT_FALSE(st.reason().empty());
      // The failing listing is the last thing the engine did.
      EXPECT_EQ(box.rec.log.back(), "subFolders " + box.settingsFolder(c.failedVersion));
    } else {
      EXPECT_TRUE(st.ok()) << st.path() << ": " << st.reason();
    }
    // Every listed version that was there got the package; no other did, and no missing
    // settings folder was made.
    for (const std::string& v : kVersions) {
      EXPECT_EQ(box.isFile(box.user(v, "ENU") + "\\leitor.jss"),
                Has(c.listed, v) && !Has(c.missing, v))
          << v;
      EXPECT_EQ(box.isFolder(box.settingsFolder(v)), !Has(c.missing, v)) << v;
    }
  }
}

TEST(Install, OnlyWholeEnuPtbPtgNamesInListingOrder) {
  JawsSandbox box;
  box.addUser("17.0", {"xENU", "ENU.old", "Ptb", "DEU", "ENU1", "enu", "PTG", "PT"});
  box.addShared("17.0", "Ptb");
  box.addUser("16.0", {"DEU"});  // a version without a language folder contributes nothing
  ASSERT_TRUE(box.run().ok());

  std::vector<std::string> destinations;
  for (const std::string& line : box.rec.lines("copyFolder ")) {
    destinations.push_back(Normalized(line.substr(line.find(" -> ") + 4)));
  }
  EXPECT_EQ(destinations, (std::vector<std::string>{Normalized(box.user("17.0", "enu")),
                                                    Normalized(box.user("17.0", "Ptb")),
                                                    Normalized(box.user("17.0", "PTG"))}));
  for (const char* other : {"xENU", "ENU.old", "DEU", "ENU1", "PT"}) {
    EXPECT_FALSE(box.isFile(box.user("17.0", other) + "\\leitor.jss")) << other;
  }
  EXPECT_FALSE(box.isFile(box.user("16.0", "DEU") + "\\leitor.jss"));
  // The package's contents land in the folder itself, subfolders included.
  const std::string enu = box.user("17.0", "enu");
  EXPECT_EQ(box.read(enu + "\\sub\\notas.txt"), "nested file");
  EXPECT_FALSE(box.isFolder(enu + "\\pastascripts"));
  // The shared folder is named as the user's folder is listed, not upper-cased.
  const std::string configNames = box.shared("17.0", "Ptb") + "\\confignames.ini";
  EXPECT_EQ(box.rec.lines("pathExists " + configNames).size(), 1u);
  EXPECT_EQ(box.iniValue(configNames, "ConfigNames", "notepad"), "bloco");
}

TEST(Install, OrderIsSettingsThenCopyConfigNamesDefaultScript) {
  JawsSandbox box;
  box.addUser("17.0", {"ENU"});
  box.addShared("17.0", "ENU");
  ASSERT_TRUE(box.run(Boxes({1, 0, 0, 0}), 1).ok());

  const std::string u = box.user("17.0", "ENU");
  const std::string s = box.shared("17.0", "ENU");
  const std::string setup = box.setupIni();
  std::vector<std::string> calls;  // the steps: not the existence tests, nor the backup's work
  for (const std::string& line : box.rec.log) {
    const bool backup = line.rfind("makeFolders ", 0) == 0 || line.rfind("writeFile ", 0) == 0 ||
                        (line.rfind("iniRead ", 0) == 0 && line.find(setup) == std::string::npos);
    if (line.find("Exists ") == std::string::npos && !backup) calls.push_back(Normalized(line));
  }
  std::vector<std::string> expected = {
      // The four settings are read in their fixed order before anything else happens.
      "iniRead [Configurations] Application " + setup,
      "iniRead [Configurations] ScriptName " + setup,
      "iniRead [Configurations] ModifyScriptName " + setup,
      "iniRead [Configurations] Extras " + setup,
      "subFolders " + box.settingsFolder("17.0"),
      "copyFolder " + box.package() + " -> " + u,
      "iniWrite [ConfigNames] notepad=bloco " + s + "\\confignames.ini",
      // Default.jsb last: the step is never taken for done while its other files are missing.
      "copyFile " + s + "\\default.jsb -> " + u + "\\default_fs.jsb",
      "copyFile " + s + "\\default.jsd -> " + u + "\\default_fs.jsd",
      "copyFile " + box.exe() + "\\Extras\\extra1.ext -> " + u + "\\Default.jsb",
      "sleep 100",
      "iniWrite [Common Keys] windows+backspace=swSayAlert(1) " + u + "\\Default.jkm",
  };
  for (std::string& line : expected) line = Normalized(line);
  EXPECT_EQ(calls, expected);
}

TEST(Install, ConfigNamesEntryOnlyWhenSwitchedOnAndTheFileExists) {
  const struct {
    const char* modify;  // null: key missing
    bool on;
    bool fileThere;
  } cases[] = {
      {nullptr, false, true}, {"", false, true},   {"0", false, true}, {"yes", false, true},
      {"1", true, true},      {"0.5", true, true}, {"1", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.modify ? c.modify : "(missing)") + (c.fileThere ? "" : ", no file"));
    JawsSandbox box;
    box.addUser("17.0", {"ENU"});
    box.addShared("17.0", "ENU", false);
    const std::string file = box.shared("17.0", "ENU") + "\\confignames.ini";
    // An entry with the same key in another case must be replaced, not doubled.
    const std::string old = "[ConfigNames]\r\nwordpad=wordpad\r\nNOTEPAD=antigo\r\n";
    if (c.fileThere) box.write(file, old);
    box.setting("ModifyScriptName", c.modify);
    ASSERT_TRUE(box.run(Boxes({1, 0, 0, 0}), 1).ok());

    if (!c.on) {
      for (const std::string& line : box.rec.log) {
        EXPECT_EQ(line.find("confignames.ini"), std::string::npos) << "not even looked at";
      }
    }
    if (!c.fileThere) {
      EXPECT_FALSE(box.isFile(file)) << "a missing file must not be created";
    } else if (c.on) {
      EXPECT_EQ(box.iniValue(file, "ConfigNames", "notepad"), "bloco");
      EXPECT_EQ(box.iniValue(file, "ConfigNames", "wordpad"), "wordpad");
      std::string bytes = Normalized(box.read(file));
      EXPECT_EQ(bytes.find("notepad="), bytes.rfind("notepad=")) << bytes;
    } else {
      EXPECT_EQ(box.read(file), old);
    }
  }
}

}  // namespace
}  // namespace inst::testing
