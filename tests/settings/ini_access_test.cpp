// ReadIniValue and WriteIniValue over real files, through the platform's own profile back end.
#include "settings/ini_access.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "platform/host.h"

namespace inst {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Wine rewrites a whole profile file where Windows edits it in place; there the bytes of the
// other lines cannot be checked, only the values.
bool editsInPlace() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return !(ntdll && GetProcAddress(ntdll, "wine_get_version"));
#else
  return true;
#endif
}

class IniAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() /
              ("instalador-settings-" + std::to_string(seed()) + "-" + std::to_string(seed()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    // No write leaves its temporary file behind, whatever happened to it.
    for (const auto& entry : fs::directory_iterator(folder_)) {
      EXPECT_NE(entry.path().filename().string().rfind(".instalador-tmp-", 0), 0u) << entry.path();
    }
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // Program text for a file in the folder, its separator the Windows one as the program's.
  std::string path(const std::string& name) const {
    const std::u8string folder = folder_.u8string();
    return std::string(folder.begin(), folder.end()) + "\\" + name;
  }
  void put(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }
  std::string bytes(const std::string& name) const {
    std::ifstream in(folder_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  host::NativeServices native_ = host::MakeNativeServices();
  Profile& profile_ = *native_.profile;
  fs::path folder_;
};

TEST_F(IniAccess, ReadsSettingsAsTheProgramSeesThem) {
  put("Setup.ini",
      "[configurations]\r\n"
      "TITLE=Instala\xE7\xE3o do pacote\r\n"
      "Frametitle=\r\n"
      "Startversion=  11  \r\n"
      "Application=" +
          std::string(300, 'a') +
          "\r\n"
          "[Sound]\r\n"
          "SoundFile=ab\0cd\r\n"
          "PlaySound=yes\r\n"s);
  const struct {
    const char* section;
    const char* key;
    std::string value;
  } cases[] = {
      {"Configurations", "title", "Instala\xC3\xA7\xC3\xA3o do pacote"},
      {"Configurations", "Frametitle", ""},
      {"Configurations", "Startversion", "11"},
      {"Configurations", "Application", std::string(254, 'a')},
      {"Configurations", "Missing", ""},
      {"Sound", "SoundFile", "ab"},
      {"Sound", "PlaySound", "yes"},
      {"Info", "ShowInfo", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadIniValue(profile_, c.section, c.key, path("Setup.ini")), c.value) << c.key;
    // File names are found without regard to case.
    EXPECT_EQ(ReadIniValue(profile_, c.section, c.key, path("setup.INI")), c.value) << c.key;
  }
  EXPECT_EQ(ReadIniValue(profile_, "Configurations", "title", path("absent.ini")), "");
  EXPECT_EQ(ReadIniValue(profile_, "Configurations", "title", path("no-folder\\x.ini")), "");
}

TEST_F(IniAccess, WriteAppendsAMissingSectionAndReturnsOne) {
  put("confignames.ini", "[Other]\r\na=1");
  EXPECT_EQ(WriteIniValue(profile_, "ConfigNames", "notepad", "bloco", path("confignames.ini")), 1);
  EXPECT_EQ(bytes("confignames.ini"), "[Other]\r\na=1\r\n[ConfigNames]\r\nnotepad=bloco\r\n");
}

TEST_F(IniAccess, WriteChangesOnlyItsLine) {
  const std::string before =
      "; JAWS keys\r\n\r\n[Common Keys]\r\n  Insert+F1 = Help \r\nwindows+backspace=old\r\n"
      "\r\n[Desktop Keys]\nx=1\n";
  put("Default.jkm", before);
  EXPECT_EQ(WriteIniValue(profile_, "Common Keys", "Windows+BackSpace", "swSayAlert(1)",
                          path("default.jkm")),
            1);
  std::string after = before;
  after.replace(after.find("windows+backspace=old"), 21, "windows+backspace=swSayAlert(1)");
  if (editsInPlace()) {
    EXPECT_EQ(bytes("Default.jkm"), after);
  }
  EXPECT_EQ(ReadIniValue(profile_, "Desktop Keys", "x", path("Default.jkm")), "1");
  EXPECT_EQ(ReadIniValue(profile_, "common keys", "WINDOWS+BACKSPACE", path("Default.jkm")),
            "swSayAlert(1)");
}

TEST_F(IniAccess, WritesSeeEachOtherAndAccentedText) {
  // Reads between writes make sure no cached copy of the file answers for the new one.
  const std::string file = path("new.ini");
  for (int i = 0; i < 5; ++i) {
    const std::string value = "valor " + std::to_string(i) + " \xC3\xA7";
    EXPECT_TRUE(TryWriteIniValue(profile_, "Se\xC3\xA7\xC3\xA3o", "Chave", value, file));
    EXPECT_EQ(ReadIniValue(profile_, "Se\xC3\xA7\xC3\xA3o", "chave", file), value);
  }
  EXPECT_EQ(bytes("new.ini"), "[Se\xE7\xE3o]\r\nChave=valor 4 \xE7\r\n");
}

TEST_F(IniAccess, FailedWritesAreReportedAndLeaveNothingBehind) {
  fs::create_directories(folder_ / "folder.ini");
  const std::string targets[] = {path("missing\\x.ini"), path("folder.ini")};
  for (const std::string& target : targets) {
    const Status status = TryWriteIniValue(profile_, "S", "k", "v", target);
    EXPECT_FALSE(status.ok()) << target;
    EXPECT_EQ(status.path(), target);
    EXPECT_FALSE(status.reason().empty()) << target;
    EXPECT_EQ(WriteIniValue(profile_, "S", "k", "v", target), 1);
  }
  EXPECT_FALSE(fs::exists(folder_ / "missing"));
  EXPECT_TRUE(fs::is_directory(folder_ / "folder.ini"));
}

// The back end's own rules for a removal; its edits of the text are the profile vectors'.
TEST_F(IniAccess, RemovalNeverMakesAFileAndRespectsReadOnly) {
  put("k.ini", "[S]\r\na=1\r\nb=2");
  EXPECT_TRUE(TryRemoveIniValue(profile_, "s", "B", path("k.ini")));
  EXPECT_EQ(bytes("k.ini"), "[S]\r\na=1\r\n");
  EXPECT_TRUE(TryRemoveIniValue(profile_, "S", "a", path("absent.ini")));
  EXPECT_TRUE(TryRemoveIniValue(profile_, "S", "a", path("no-folder\\x.ini")));
  EXPECT_FALSE(fs::exists(folder_ / "absent.ini"));
  fs::permissions(folder_ / "k.ini", fs::perms::owner_read | fs::perms::others_read);
  EXPECT_FALSE(TryRemoveIniValue(profile_, "S", "a", path("k.ini")));
  fs::permissions(folder_ / "k.ini", fs::perms::owner_all);
  EXPECT_EQ(ReadIniValue(profile_, "S", "a", path("k.ini")), "1");
}

#ifndef _WIN32
TEST_F(IniAccess, WriteThroughASymbolicLinkKeepsTheLink) {
  put("real.ini", "[S]\nk=1\n");
  fs::create_symlink(folder_ / "real.ini", folder_ / "link.ini");
  EXPECT_TRUE(TryWriteIniValue(profile_, "S", "k", "2", path("link.ini")));
  EXPECT_TRUE(fs::is_symlink(folder_ / "link.ini"));
  EXPECT_EQ(bytes("real.ini"), "[S]\nk=2\n");
}
#endif

}  // namespace
}  // namespace inst
