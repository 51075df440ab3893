// Each finding of the package check, on a package made to show it, and none on a sound one.
#include "check/package_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "platform/host.h"
#include "platform/sound/test_sound_files.h"
#include "settings/package_info.h"
#include "support/jaws_sandbox.h"
#include "text/cp1252.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace inst::check {
namespace {

// Path below the package ("/" separated; a trailing one makes an empty folder) to bytes.
using Files = std::map<std::string, std::string>;

const char kGoodSetup[] =
    "[Configurations]\r\ntitle=Pacote\r\nFrametitle=Vers\xF5"
    "es\r\nStartversion=11\r\nApplication=notepad\r\nScriptName=notepad\r\n"
    "ModifyScriptName=1\r\nExtras=1\r\nYearVersions=1\r\n"
    "[Sound]\r\nSoundFile=abertura.wav\r\nPlaySound=1\r\nPlayMode=0\r\n"
    "[Info]\r\nShowInfo=1\r\nInfoFile=leiame.txt\r\nInfoTitle=Informa\xE7\xF5"
    "es\r\n";

Files Good() {
  return {{"Setup.ini", kGoodSetup},
          {"pastascripts/notepad.jsb", "x"},
          {"pastascripts/RedidUzizu.jsb", "x"},
          {"Extras/extra1.ext", "x"},
          {"Audio/abertura.wav", testfiles::waveFile(300)},
          {"Info/leiame.txt", "Ol\xE1"}};
}

// The good package with one Setup.ini line changed ("" removes it) or added.
Files With(const std::string& key, const std::string& line) {
  Files f = Good();
  std::string& ini = f["Setup.ini"];
  const std::size_t at = ini.find("\n" + key + "=");
  if (at == std::string::npos) {
    ini.insert(ini.find('\n') + 1, line + "\r\n");
  } else {
    const std::size_t end = ini.find('\n', at + 1);
    ini.replace(at + 1, end - at, line.empty() ? "" : line + "\r\n");
  }
  return f;
}

Files Without(const std::string& path) {
  Files f = Good();
  f.erase(path);
  return f;
}

Files Plus(Files f, const std::string& path, const std::string& bytes) {
  f[path] = bytes;
  return f;
}

Files Named(const std::string& lines) {
  Files f = Good();
  f["Setup.ini"] += "[Package]\r\n" + lines + "\r\n";
  return f;
}

class PackageCheck : public ::testing::Test {
 protected:
  std::vector<Finding> check(const Files& files) {
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    for (const auto& [path, bytes] : files) {
      std::filesystem::create_directories((root_ / path).parent_path());
      if (path.ends_with('/')) continue;  // only the folder
#ifndef _WIN32                            // "->" and a path: a link to it; "|": a pipe
      if (bytes.starts_with("->")) std::filesystem::create_symlink(bytes.substr(2), root_ / path);
      if (bytes == "|") mkfifo((root_ / path).c_str(), 0644);
      if (bytes.starts_with("->") || bytes == "|") continue;
#endif
      std::ofstream(root_ / path, std::ios::binary) << bytes;
    }
    return CheckPackage(fs_, profile_, root_.string());
  }
  void TearDown() override {
    std::filesystem::remove_all(root_);
  }

  std::filesystem::path root_ = std::filesystem::temp_directory_path() /
                                ("instalador-check-" + std::to_string(std::random_device{}()));
  host::NativeServices native_ = host::MakeNativeServices();
  FileSystem& fs_ = *native_.fs;
  Profile& profile_ = *native_.profile;
};

// Setup.ini in UTF-16LE with its mark, as the installation reads it.
std::string Utf16(const std::string& ansi, bool mark = true) {
  std::string out = mark ? "\xFF\xFE" : "";
  for (char16_t c : cp1252::toUtf16(ansi))
    out += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return out;
}

TEST_F(PackageCheck, ASoundPackageHasNoFindings) {
  for (const Files& files :
       {Good(), Named("Name=Scripts do Bloco de Notas\r\nVersion=2.1"),
        Named("Name=x\r\nId=bloco-de-notas-2"), Plus(Good(), "Setup.ini", Utf16(kGoodSetup)),
        Plus(Good(), "Info/extra.txt", "->../Extras/extra1.ext")})
    for (const Finding& f : check(files)) ADD_FAILURE() << FormatFinding(f);
}

TEST_F(PackageCheck, EachFindingOnAPackageMadeToShowIt) {
  const struct {
    const char* what;
    Files files;
    Severity severity;
    const char* says;  // a part of the text that names the key or file
  } cases[] = {
      {"no Setup.ini", Without("Setup.ini"), Severity::Error, "Setup.ini não existe"},
      {"no pastascripts",
       [] {
         Files f = Good();
         f.erase("pastascripts/notepad.jsb");
         f.erase("pastascripts/RedidUzizu.jsb");
         return f;
       }(),
       Severity::Error, "pastascripts não existe"},
      {"empty pastascripts",
       [] {
         Files f = Plus(With("Extras", "Extras=0"), "pastascripts/sub/", "");
         f.erase("pastascripts/notepad.jsb");
         f.erase("pastascripts/RedidUzizu.jsb");
         return f;
       }(),
       Severity::Error, "pastascripts está vazia"},
      {"flag as a word", With("PlaySound", "PlaySound=yes"), Severity::Error,
       "[Sound] PlaySound=yes vale desligado"},
      {"flag as sim", With("ShowInfo", "ShowInfo=sim"), Severity::Error, "ShowInfo=sim"},
      {"decimal comma", With("Startversion", "Startversion=10,5"), Severity::Error,
       "Startversion=10,5 é lido como 10"},
      {"Extras without extra1.ext", Without("Extras/extra1.ext"), Severity::Error,
       "Extras\\extra1.ext não existe"},
      {"Extras without the marker", Without("pastascripts/RedidUzizu.jsb"), Severity::Error,
       "RedidUzizu.jsb não existe"},
      {"Application empty", With("Application", "Application="), Severity::Error,
       "[Configurations] Application"},
      {"Application with =", With("Application", "Application=a=b"), Severity::Error,
       "[Configurations] Application"},
      {"Application a section", With("Application", "Application=[x]"), Severity::Error,
       "[Configurations] Application"},
      {"ScriptName empty", With("ScriptName", "ScriptName="), Severity::Warning,
       "ScriptName está vazio"},
      {"sound missing", Without("Audio/abertura.wav"), Severity::Error,
       "Audio\\abertura.wav não existe"},
      {"sound without device type",
       Plus(With("SoundFile", "SoundFile=som.ogg"), "Audio/som.ogg", "OggS"), Severity::Error,
       "SoundFile=som.ogg"},
      {"play mode out of range", With("PlayMode", "PlayMode=3"), Severity::Error,
       "PlayMode=3 está fora de 0 a 2"},
      {"volume out of range",
       [] {
         Files f =
             Plus(With("SoundFile", "SoundFile=a.mp3"), "Audio/a.mp3", testfiles::mpegFrames(20));
         f["Setup.ini"].insert(f["Setup.ini"].find("[Info]"), "Volume=101\r\n");
         return f;
       }(),
       Severity::Error, "Volume=101 está fora de 0 a 100"},
      {"volume on a wave",
       [] {
         Files f = Good();
         f["Setup.ini"].insert(f["Setup.ini"].find("[Info]"), "Volume=80\r\n");
         return f;
       }(),
       Severity::Error, "Volume está definido, mas um arquivo wav"},
      {"repeat on a MIDI file",
       [] {
         Files f =
             Plus(With("SoundFile", "SoundFile=a.mid"), "Audio/a.mid", testfiles::midiNote(1000));
         f["Setup.ini"].replace(f["Setup.ini"].find("PlayMode=0"), 10, "PlayMode=1");
         return f;
       }(),
       Severity::Error, "PlayMode=1 (repetir) não funciona com um arquivo mid"},
      {"a long wait",
       Plus(With("PlayMode", "PlayMode=2"), "Audio/abertura.wav", testfiles::waveFile(6200)),
       Severity::Warning, "dura 6 segundos"},
      {"info missing", Without("Info/leiame.txt"), Severity::Error, "Info\\leiame.txt não existe"},
      {"info in UTF-16", Plus(Good(), "Info/leiame.txt", std::string("\xFF\xFEO\0l\0", 6)),
       Severity::Error, "leiame.txt está em UTF-16"},
      {"info in neither", Plus(Good(), "Info/leiame.txt", "Ol\x81 \xE1"), Severity::Error,
       "nem em UTF-8 nem em Windows-1252"},
      // A surrogate is not UTF-8 to the information window, which shows these bytes as ANSI.
      {"info encoding a surrogate", Plus(Good(), "Info/leiame.txt", "Ol\xED\xA0\x81"),
       Severity::Error, "nem em UTF-8 nem em Windows-1252"},
      {"title empty", With("title", "title="), Severity::Warning, "title está vazio"},
      {"year versions off", With("YearVersions", ""), Severity::Warning,
       "YearVersions está desligado"},
      {"a start version no folder reaches",
       [] {
         Files f = With("YearVersions", "");
         f["Setup.ini"].replace(f["Setup.ini"].find("Startversion=11"), 15, "Startversion=2020");
         return f;
       }(),
       Severity::Error, "Startversion=2020 sem YearVersions"},
      {"Setup.ini with a BOM", Plus(Good(), "Setup.ini", std::string("\xEF\xBB\xBF") + kGoodSetup),
       Severity::Error, "BOM"},
      {"Setup.ini in UTF-8",
       Plus(Good(), "Setup.ini",
            [] {
              std::string text = kGoodSetup;
              text.replace(text.find('\xF5'), 1, "\xC3\xB5");
              text.replace(text.find('\xE7'), 2, "\xC3\xA7\xC3\xB5");
              return text;
            }()),
       Severity::Warning, "Setup.ini está em UTF-8"},
      {"Setup.ini in UTF-16 without its mark", Plus(Good(), "Setup.ini", Utf16(kGoodSetup, false)),
       Severity::Error, "sem a marca FF FE"},
      {"Setup.ini with a NUL", Plus(Good(), "Setup.ini", kGoodSetup + std::string("x\0y", 3)),
       Severity::Warning, "bytes nulos"},
      {"InfoFile climbing out", With("InfoFile", "InfoFile=..\\Setup.ini"), Severity::Error,
       "InfoFile=..\\Setup.ini sai da pasta Info"},
      {"SoundFile absolute", With("SoundFile", "SoundFile=C:\\som.wav"), Severity::Error,
       "SoundFile=C:\\som.wav sai da pasta Audio"},
      {"a temporary file left", Plus(Good(), "pastascripts/sub/.instalador-tmp-12-3", "x"),
       Severity::Warning, "pastascripts\\sub\\.instalador-tmp-12-3 é um arquivo temporário"},
      {"[Package] without Name", Named("Version=2.1"), Severity::Error, "[Package] não tem Name"},
      {"a Name of 10,000 characters", Named("Name=" + std::string(10000, 'n')), Severity::Error,
       "Name tem mais de 100"},
      {"a Name with nothing to make an Id of", Named("Name=*** ***"), Severity::Error,
       "escreva um Id"},
      {"an Id climbing out", Named("Name=x\r\nId=..\\fora"), Severity::Error, "Id=..\\fora"},
      {"an Id with a slash", Named("Name=x\r\nId=a/b"), Severity::Error, "Id=a/b não serve"},
      {"an Id with a drive", Named("Name=x\r\nId=c:x"), Severity::Error, "Id=c:x não serve"},
      {"an Id in capitals", Named("Name=x\r\nId=Bloco"), Severity::Error, "Id=Bloco não serve"},
      {"an Id of 1,000 characters", Named("Name=x\r\nId=" + std::string(1000, 'a')),
       Severity::Error, "não serve"},
#ifndef _WIN32
      {"names equal but for case", Plus(Good(), "pastascripts/NOTEPAD.jsb", "y"), Severity::Error,
       "pastascripts\\NOTEPAD.jsb e pastascripts\\notepad.jsb diferem só nas maiúsculas"},
      {"a link out of the package", Plus(Good(), "pastascripts/fora.jss", "->/etc/hostname"),
       Severity::Error, "pastascripts\\fora.jss é um link para fora do pacote"},
      {"a pipe", Plus(Good(), "Audio/cano", "|"), Severity::Error, "Audio\\cano é um pipe"},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<Finding> found = check(c.files);
    bool seen = false;
    for (const Finding& f : found)
      seen |= f.severity == c.severity && f.text.find(c.says) != std::string::npos;
    EXPECT_TRUE(seen) << [&] {
      std::string all;
      for (const Finding& f : found) all += FormatFinding(f) + "\n";
      return all;
    }();
  }
}

// What no package should make the check do: crash, loop, or write.
TEST_F(PackageCheck, BadPackagesGetFindingsNotFaults) {
  std::string noise(4096, '\0');
  std::mt19937 random(7);
  for (char& c : noise) c = static_cast<char>(random());
  EXPECT_FALSE(check({{"Setup.ini", noise}}).empty());
  EXPECT_EQ(check({}).front().text.rfind("Setup.ini não existe", 0), 0u);

#ifndef _WIN32
  Files looped = Good();
  check(looped);
  std::filesystem::create_directory_symlink("..", root_ / "pastascripts" / "de-volta");
  const auto before = std::distance(std::filesystem::recursive_directory_iterator(root_), {});
  const std::vector<Finding> found = CheckPackage(fs_, profile_, root_.string());
  bool loop = false;
  for (const Finding& f : found) loop |= f.text.starts_with("pastascripts não pode ser copiada");
  EXPECT_TRUE(loop);
  EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(root_), {}), before);
#endif
}

// Every name makes an Id of the one safe form (or none), and an Id of that form is its own.
TEST(PackageId, AnyNameFoldsToTheSafeForm) {
  std::mt19937 random(25);
  const std::string alphabet = "aZ09 -_./\\:\xC3\xA7";
  for (int n = 0; n < 2000; ++n) {
    std::string name(random() % 120, ' ');
    for (char& c : name) c = alphabet[random() % alphabet.size()];
    const std::string id = DefaultPackageId(name);
    EXPECT_TRUE(id.empty() || IsPackageId(id)) << name << " -> " << id;
    EXPECT_EQ(DefaultPackageId(id), id);
  }
  EXPECT_EQ(DefaultPackageId("Scripts do Bloco de Notas"), "scripts-do-bloco-de-notas");
  EXPECT_EQ(DefaultPackageId(" --Ação 2.0!"), "a-o-2-0");
}

}  // namespace
}  // namespace inst::check
