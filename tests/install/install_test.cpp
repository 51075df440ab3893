// The install walk over versions, language folders and the ConfigNames entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "install/sandbox.h"

namespace inst::testing {
namespace {

const std::array<std::string, 4> kVersions = {"17.0", "16.0", "15.0", "14.0"};

std::array<VersionBox, 4> Boxes(std::array<int, 4> ticks) {
  std::array<VersionBox, 4> boxes;
  for (std::size_t i = 0; i < 4; ++i) boxes[i] = VersionBox{kVersions[i], ticks[i]};
  return boxes;
}

// The versions whose settings folder the engine listed, in order.
std::vector<std::string> ListedVersions(const Recorder& rec) {
  std::vector<std::string> out;
  for (const std::string& line : rec.lines("subFolders ")) {
    for (const std::string& v : kVersions) {
      if (line.find("\\" + v + "\\") != std::string::npos) out.push_back(v);
    }
  }
  return out;
}

struct VisitCase {
  const char* name;
  std::int16_t count;
  std::array<int, 4> ticks;
  std::vector<std::string> missing;  // versions without a settings folder
  std::vector<std::string> listed;
  std::optional<std::string> failedVersion;
  friend void PrintTo(const VisitCase& c, std::ostream* os) { *os << c.name; }
};

class VersionWalk : public ::testing::TestWithParam<VisitCase> {};

TEST_P(VersionWalk, VisitsTickedVersionsBelowCountAndFour) {
  const VisitCase& c = GetParam();
  Sandbox box;
  for (const std::string& v : kVersions) {
    if (std::count(c.missing.begin(), c.missing.end(), v) == 0) box.addUser(v, {"ENU"});
  }
  const Status st = box.run(Boxes(c.ticks), c.count);

  EXPECT_EQ(ListedVersions(box.rec), c.listed);
  if (c.failedVersion) {
    ASSERT_FALSE(st.ok());
    EXPECT_EQ(Normalized(st.path()), Normalized(box.settingsFolder(*c.failedVersion)));
    EXPECT_FALSE(st.reason().empty());
    // The failing listing is the last thing the engine did.
    EXPECT_EQ(box.rec.log.back(), "subFolders " + box.settingsFolder(*c.failedVersion));
  } else {
    EXPECT_TRUE(st.ok()) << st.path() << ": " << st.reason();
  }
  // Every listed version that was there got the package; no other did.
  for (const std::string& v : kVersions) {
    const bool listed = std::count(c.listed.begin(), c.listed.end(), v) > 0;
    const bool missing = std::count(c.missing.begin(), c.missing.end(), v) > 0;
    EXPECT_EQ(box.isFile(box.user(v, "ENU") + "\\leitor.jss"), listed && !missing) << v;
    if (missing) {
      EXPECT_FALSE(box.isFolder(box.settingsFolder(v))) << v;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Install, VersionWalk,
    ::testing::Values(
        VisitCase{"CountZero", 0, {1, 1, 1, 1}, {}, {}, std::nullopt},
        VisitCase{"CountNegative", -3, {1, 1, 1, 1}, {}, {}, std::nullopt},
        VisitCase{"CountOne", 1, {1, 1, 1, 1}, {}, {"17.0"}, std::nullopt},
        VisitCase{"OnlySecondTicked", 2, {0, 1, 0, 0}, {}, {"16.0"}, std::nullopt},
        VisitCase{"GappedTicks", 4, {1, 0, 1, 0}, {}, {"17.0", "15.0"}, std::nullopt},
        VisitCase{"AnyNonZeroValueTicks", 4, {0, 2, 0, -1}, {}, {"16.0", "14.0"}, std::nullopt},
        VisitCase{"CountFive", 5, {1, 1, 1, 1}, {}, {"17.0", "16.0", "15.0", "14.0"}, std::nullopt},
        VisitCase{"CountTen", 10, {1, 1, 1, 1}, {}, {"17.0", "16.0", "15.0", "14.0"}, std::nullopt},
        VisitCase{"TickBeyondCountIgnored", 2, {0, 0, 1, 1}, {}, {}, std::nullopt},
        VisitCase{"UntickedMissingFolderNotVisited",
                  4,
                  {0, 1, 0, 1},
                  {"17.0", "15.0"},
                  {"16.0", "14.0"},
                  std::nullopt},
        VisitCase{"TickedMissingFolderStops", 4, {1, 1, 1, 1}, {"16.0"}, {"17.0", "16.0"}, "16.0"},
        VisitCase{"FirstTickedMissingStopsAll", 3, {1, 0, 1, 1}, {"17.0"}, {"17.0"}, "17.0"}),
    [](const auto& info) { return info.param.name; });

TEST(InstallLanguageFolders, OnlyWholeEnuPtbPtgNamesInListingOrder) {
  Sandbox box;
  box.addUser("17.0", {"xENU", "ENU.old", "Ptb", "DEU", "ENU1", "enu", "PTG", "PT"});
  box.addShared("17.0", "Ptb");
  ASSERT_TRUE(box.run(Boxes({1, 0, 0, 0}), 1).ok());

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
  // The package's contents land in the folder itself, subfolders included.
  const std::string enu = box.user("17.0", "enu");
  EXPECT_EQ(box.read(enu + "\\sub\\notas.txt"), "nested file");
  EXPECT_FALSE(box.isFolder(enu + "\\pastascripts"));
  // The shared folder is named as the user's folder is listed, not upper-cased.
  EXPECT_EQ(box.rec.lines("fileExists " + box.shared("17.0", "Ptb") + "\\confignames.ini").size(),
            1u);
  EXPECT_EQ(box.iniValue(box.shared("17.0", "Ptb") + "\\confignames.ini", "ConfigNames", "notepad"),
            "bloco");
}

TEST(InstallLanguageFolders, VersionWithoutLanguageFolderContributesNothing) {
  Sandbox box;
  box.addUser("17.0", {"DEU"});
  box.addUser("16.0", {"ENU"});
  ASSERT_TRUE(box.run().ok());
  EXPECT_EQ(box.rec.lines("copyFolder ").size(), 1u);
  EXPECT_EQ(box.read(box.user("16.0", "ENU") + "\\leitor.jss"), "package source");
  EXPECT_FALSE(box.isFile(box.user("17.0", "DEU") + "\\leitor.jss"));
}

TEST(InstallLanguageFolders, OrderWithinAFolderIsCopyConfigNamesDefaultScript) {
  Sandbox box;
  box.addUser("17.0", {"ENU"});
  box.addShared("17.0", "ENU");
  ASSERT_TRUE(box.run(Boxes({1, 0, 0, 0}), 1).ok());

  const std::string u = box.user("17.0", "ENU");
  const std::string s = box.shared("17.0", "ENU");
  std::vector<std::string> effects;
  for (const std::string& line : box.rec.log) {
    if (line.rfind("copy", 0) == 0 || line.rfind("iniWrite", 0) == 0 ||
        line.rfind("sleep", 0) == 0) {
      effects.push_back(Normalized(line));
    }
  }
  std::vector<std::string> expected = {
      "copyFolder " + box.package() + " -> " + u,
      "iniWrite [ConfigNames] notepad=bloco " + s + "\\confignames.ini",
      "copyFile " + box.exe() + "\\Extras\\extra1.ext -> " + u + "\\Default.jsb",
      "copyFile " + s + "\\default.jsb -> " + u + "\\default_fs.jsb",
      "copyFile " + s + "\\default.jsd -> " + u + "\\default_fs.jsd",
      "sleep 100",
      "iniWrite [Common Keys] windows+backspace=swSayAlert(1) " + u + "\\Default.jkm",
  };
  for (std::string& line : expected) line = Normalized(line);
  EXPECT_EQ(effects, expected);
  // The four settings are read in their fixed order before anything else happens.
  ASSERT_GE(box.rec.log.size(), 4u);
  const std::string setup = box.setupIni();
  EXPECT_EQ(std::vector<std::string>(box.rec.log.begin(), box.rec.log.begin() + 4),
            (std::vector<std::string>{"iniRead [Configurations] Application " + setup,
                                      "iniRead [Configurations] ScriptName " + setup,
                                      "iniRead [Configurations] ModifyScriptName " + setup,
                                      "iniRead [Configurations] Extras " + setup}));
}

// Lines of a file whose key, before "=", is `key` in any case.
std::size_t KeyLines(const std::string& bytes, const std::string& key) {
  std::istringstream in(bytes);
  std::size_t n = 0;
  for (std::string line; std::getline(in, line);) {
    std::string name = line.substr(0, line.find('='));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    n += line.find('=') != std::string::npos && name == key;
  }
  return n;
}

struct ConfigNamesCase {
  const char* name;
  std::optional<std::string> modify;  // nullopt: key missing
  bool on;
  bool fileThere;
  friend void PrintTo(const ConfigNamesCase& c, std::ostream* os) { *os << c.name; }
};

class ConfigNamesEntry : public ::testing::TestWithParam<ConfigNamesCase> {};

TEST_P(ConfigNamesEntry, WrittenOnlyWhenSwitchedOnAndFileExists) {
  const ConfigNamesCase& c = GetParam();
  Sandbox box;
  box.addUser("17.0", {"ENU"});
  box.addShared("17.0", "ENU", false);
  const std::string file = box.shared("17.0", "ENU") + "\\confignames.ini";
  // An entry with the same key in another case must be replaced, not doubled.
  const std::string old = "[ConfigNames]\r\nwordpad=wordpad\r\nNOTEPAD=antigo\r\n";
  if (c.fileThere) box.write(file, old);
  if (c.modify) {
    box.setting("ModifyScriptName", *c.modify);
  } else {
    box.eraseSetting("ModifyScriptName");
  }

  ASSERT_TRUE(box.run(Boxes({1, 0, 0, 0}), 1).ok());

  if (!c.on) {
    for (const std::string& line : box.rec.log) {
      EXPECT_EQ(line.find("confignames.ini"), std::string::npos) << "not even looked at: " << line;
    }
  }
  if (!c.fileThere) {
    EXPECT_FALSE(box.isFile(file)) << "a missing file must not be created";
  } else if (c.on) {
    EXPECT_EQ(box.iniValue(file, "ConfigNames", "notepad"), "bloco");
    EXPECT_EQ(box.iniValue(file, "ConfigNames", "wordpad"), "wordpad");
    EXPECT_EQ(KeyLines(box.read(file), "notepad"), 1u);
  } else {
    EXPECT_EQ(box.read(file), old);
  }
}

INSTANTIATE_TEST_SUITE_P(Install, ConfigNamesEntry,
                         ::testing::Values(ConfigNamesCase{"Missing", std::nullopt, false, true},
                                           ConfigNamesCase{"Empty", "", false, true},
                                           ConfigNamesCase{"Zero", "0", false, true},
                                           ConfigNamesCase{"Word", "yes", false, true},
                                           ConfigNamesCase{"One", "1", true, true},
                                           ConfigNamesCase{"Two", "2", true, true},
                                           ConfigNamesCase{"Half", "0.5", true, true},
                                           ConfigNamesCase{"BlankThenOne", " 1", true, true},
                                           ConfigNamesCase{"OnButFileMissing", "1", true, false}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace inst::testing
