#include "jaws/discovery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

namespace inst::jaws {
namespace {

using ::testing::ElementsAreArray;

const std::string kMessage = "N\xC3\xA3o foram encontradas vers\xC3\xB5\x65s do JAWS instaladas!";
const std::string kRoot = "C:\\Program Files\\Freedom Scientific\\Jaws";

// A root whose listing is given name by name, in the order the service would list it.
class ListedRoot final : public FileSystem {
 public:
  bool exists = true;
  std::vector<std::string> names;
  std::optional<Status> listingFailure;

  bool folderExists(const std::string& path) override { return exists && path == kRoot; }
  Status subFolders(const std::string& path, std::vector<SubFolder>& out) override {
    out.clear();
    if (listingFailure) return *listingFailure;
    for (const std::string& n : names) out.push_back({n, path + "\\" + n});
    return Status::success();
  }
  bool fileExists(const std::string&) override { return false; }
  bool normalFileExists(const std::string&) override { return false; }
  Status copyFolder(const std::string&, const std::string& d) override { return refuse(d); }
  Status copyFile(const std::string&, const std::string& d) override { return refuse(d); }
  Status readFile(const std::string& p, std::string&) override { return refuse(p); }

 private:
  static Status refuse(const std::string& p) { return Status::failure(p, "not in this test"); }
};

std::vector<std::string> versions(int first, int count) {
  std::vector<std::string> out;
  for (int v = first; v < first + count; ++v) out.push_back(std::to_string(v) + ".0");
  return out;
}

struct Case {
  const char* what;
  std::vector<std::string> names;
  std::int16_t startVersion;
  std::vector<std::string> found;  // empty: discovery stops
  std::vector<std::string> shown;  // captions of members 0..3 in use
};

TEST(DiscoverVersions, CollectsQualifyingFoldersAndOffersTheLastFour) {
  const Case cases[] = {
      {"older than the first version",
       {"15.0", "16.0", "17.0"},
       16,
       {"16.0", "17.0"},
       {"17.0", "16.0"}},
      {"start version itself qualifies", {"17.0"}, 17, {"17.0"}, {"17.0"}},
      {"never qualify", {"17", "17.00", "17.0a", "Settings", "16.0"}, 0, {"16.0"}, {"16.0"}},
      {"no leading number reads as 0", {"Beta.0", "x"}, 0, {"Beta.0"}, {"Beta.0"}},
      {"blanks before the number are skipped", {" 17.0", "17.0 "}, 17, {" 17.0"}, {" 17.0"}},
      {"only the ending counts", {".0", "0"}, 0, {".0"}, {".0"}},
      {"a negative start version", {"-3.0", "-9.0"}, -5, {"-3.0"}, {"-3.0"}},
      {"listing order, not version order", {"17.0", "9.0"}, 0, {"17.0", "9.0"}, {"9.0", "17.0"}},
      {"six", versions(11, 6), 0, versions(11, 6), {"16.0", "15.0", "14.0", "13.0"}},
      {"twelve: only the first ten",
       versions(10, 12),
       0,
       versions(10, 10),
       {"19.0", "18.0", "17.0", "16.0"}},
      {"ten collected, later ones walked past",
       [] {
         auto v = versions(1, 10);
         v.insert(v.begin() + 3, "Settings");
         v.push_back("99.0");
         return v;
       }(),
       0,
       versions(1, 10),
       {"10.0", "9.0", "8.0", "7.0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ListedRoot fs;
    fs.names = c.names;
    Discovery d = DiscoverVersions(fs, kRoot, c.startVersion, "Scripts");
    ASSERT_FALSE(d.stop) << d.message;
    EXPECT_THAT(d.found, ElementsAreArray(c.found));
    EXPECT_EQ(d.versionCount, static_cast<std::int16_t>(c.found.size()));
    for (std::size_t i = 0; i < d.checkboxes.size(); ++i) {
      const CheckboxState& box = d.checkboxes[i];
      bool used = i < c.shown.size();
      EXPECT_EQ(box.caption, used ? c.shown[i] : "") << i;
      EXPECT_EQ(box.enabled, used) << i;
      EXPECT_EQ(box.visible, used) << i;
    }
  }
}

// An unreadable root also stops, and the message says which folder and why.
TEST(DiscoverVersions, StopsWhenThereIsNoVersionToOffer) {
  const struct {
    const char* what;
    bool exists;
    std::vector<std::string> names;
    std::int16_t startVersion;
    MsgIcon icon;
    const char* listingFailure;
  } cases[] = {
      {"root missing", false, {"17.0"}, 0, MsgIcon::None, nullptr},
      {"root empty", true, {}, 0, MsgIcon::Exclamation, nullptr},
      {"none qualifying", true, {"17", "17.0a", "Settings"}, 0, MsgIcon::Exclamation, nullptr},
      {"all older", true, {"15.0", "16.0"}, 17, MsgIcon::Exclamation, nullptr},
      {"root unreadable", true, {"17.0"}, 0, MsgIcon::Exclamation, "Permission denied"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ListedRoot fs;
    fs.exists = c.exists;
    fs.names = c.names;
    if (c.listingFailure) fs.listingFailure = Status::failure(kRoot, c.listingFailure);
    Discovery d = DiscoverVersions(fs, kRoot, c.startVersion, "Scripts");
    EXPECT_TRUE(d.stop);
    EXPECT_EQ(d.message,
              c.listingFailure ? kMessage + "\n" + kRoot + "\n" + c.listingFailure : kMessage);
    EXPECT_EQ(d.icon, c.icon);
    EXPECT_EQ(d.title, "Scripts");
    EXPECT_EQ(d.versionCount, 0);
  }
}

// Year-named folders count only when the package asks for them, and then under the same
// start-version test and the same ten-and-four rules as the others.
TEST(DiscoverVersions, YearFoldersOnlyWhenThePackageAcceptsThem) {
  const std::vector<std::string> machine = {"16.0", "17.0", "2018", "2024", "2025"};
  const struct {
    const char* what;
    std::vector<std::string> names;
    bool yearVersions;
    std::int16_t startVersion;
    std::vector<std::string> found;
  } cases[] = {
      {"key off: exactly as before", machine, false, 0, {"16.0", "17.0"}},
      {"key on", machine, true, 0, {"16.0", "17.0", "2018", "2024", "2025"}},
      {"start version against the year", machine, true, 2024, {"2024", "2025"}},
      {"start version 17 keeps the years", machine, true, 17, {"17.0", "2018", "2024", "2025"}},
      {"not year names",
       {"2017", "201", "20189", "2018a", " 2018", "2O18", "2019.0"},
       true,
       0,
       {"2019.0"}},
      {"ten collected, the newest years walked past",
       [] {
         auto v = versions(10, 8);
         for (int y = 2018; y <= 2025; ++y) v.push_back(std::to_string(y));
         return v;
       }(),
       true, 0,
       [] {
         auto v = versions(10, 8);
         v.push_back("2018");
         v.push_back("2019");
         return v;
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ListedRoot fs;
    fs.names = c.names;
    Discovery d = DiscoverVersions(fs, kRoot, c.startVersion, "Scripts", c.yearVersions);
    ASSERT_FALSE(d.stop) << d.message;
    EXPECT_THAT(d.found, ElementsAreArray(c.found));
    EXPECT_EQ(d.checkboxes[0].caption, c.found.back());
  }
  ListedRoot onlyYears;
  onlyYears.names = {"2025"};
  EXPECT_TRUE(DiscoverVersions(onlyYears, kRoot, 0, "Scripts", false).stop);
}

}  // namespace
}  // namespace inst::jaws
