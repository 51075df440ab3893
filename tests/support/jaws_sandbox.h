#pragma once

// A machine in a fresh temporary folder for the install engine, which runs on the platform's
// own file-system and profile back ends with every call logged in one list, so that tests can
// check the order across services. The checks go to the back ends directly, unlogged, so they
// see paths as Windows does (without regard to case).

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "install/install.h"
#include "install/uninstall.h"
#include "platform/host.h"
#include "settings/ini_access.h"

namespace inst::testing {

// Operations that can fail (listings, copies, INI writes) are numbered from 1; setting `failAt`
// makes that one fail through `fail` and marks its log line with " !".
struct Recorder {
  std::vector<std::string> log;
  int fallible = 0;
  int failAt = 0;
  // `run` carries the operation out on the real service; by default it is refused untouched.
  std::function<Status(const std::string& path, const std::function<Status()>& run)> fail =
      [](const std::string& path, const std::function<Status()>&) {
        return Status::failure(path, "injected fault");
      };

  Status fallibleOp(const std::string& entry, const std::string& path,
                    const std::function<Status()>& run) {
    const bool failing = ++fallible == failAt;
    log.push_back(failing ? entry + " !" : entry);
    return failing ? fail(path, run) : run();
  }
  std::vector<std::string> lines(const std::string& prefix) const {
    std::vector<std::string> out;
    std::copy_if(log.begin(), log.end(), std::back_inserter(out),
                 [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    return out;
  }
};

class RecordingFileSystem final : public FileSystem {
 public:
  RecordingFileSystem(FileSystem& inner, Recorder& rec) : inner_(inner), rec_(rec) {}
  bool fileExists(const std::string& p) override {
    rec_.log.push_back("fileExists " + p);
    return inner_.fileExists(p);
  }
  bool folderExists(const std::string& p) override {
    rec_.log.push_back("folderExists " + p);
    return inner_.folderExists(p);
  }
  bool pathExists(const std::string& p) override {
    rec_.log.push_back("pathExists " + p);
    return inner_.pathExists(p);
  }
  Status lockFile(const std::string& p, std::unique_ptr<FileLock>& held) override {
    return inner_.lockFile(p, held);
  }
  Status subFolders(const std::string& p, std::vector<SubFolder>& out) override {
    return rec_.fallibleOp("subFolders " + p, p, [&] { return inner_.subFolders(p, out); });
  }
  Status copyFolder(const std::string& from, const std::string& to) override {
    return rec_.fallibleOp("copyFolder " + from + " -> " + to, to,
                           [&] { return inner_.copyFolder(from, to); });
  }
  Status copyFile(const std::string& from, const std::string& to) override {
    return rec_.fallibleOp("copyFile " + from + " -> " + to, to,
                           [&] { return inner_.copyFile(from, to); });
  }
  // What the backups write or remove can fail like any copy.
  Status makeFolders(const std::string& p) override {
    return rec_.fallibleOp("makeFolders " + p, p, [&] { return inner_.makeFolders(p); });
  }
  Status writeFile(const std::string& p, const std::string& b) override {
    return rec_.fallibleOp("writeFile " + p, p, [&] { return inner_.writeFile(p, b); });
  }
  Status removeFile(const std::string& p) override {
    return rec_.fallibleOp("removeFile " + p, p, [&] { return inner_.removeFile(p); });
  }
  Status removeFolder(const std::string& p) override {
    return rec_.fallibleOp("removeFolder " + p, p, [&] { return inner_.removeFolder(p); });
  }
  Status backupFile(const std::string& from, const std::string& to) override {
    return rec_.fallibleOp("copyFile " + from + " -> " + to, to,
                           [&] { return inner_.backupFile(from, to); });
  }
  Status restoreFile(const std::string& from, const std::string& to) override {
    return rec_.fallibleOp("copyFile " + from + " -> " + to, to,
                           [&] { return inner_.restoreFile(from, to); });
  }
  // Looking, not changing: never refused.
  Status copyFolderWatched(const std::string& from, const std::string& to, CopyWatcher& w,
                           bool planOnly) override {
    if (!planOnly) return copyFolder(from, to);
    return inner_.copyFolderWatched(from, to, w, true);
  }
  bool normalFileExists(const std::string& p) override { return inner_.normalFileExists(p); }
  Status readFile(const std::string& p, std::string& b) override { return inner_.readFile(p, b); }
  Status openRead(const std::string& p, std::unique_ptr<FileReader>& r) override {
    return inner_.openRead(p, r);
  }
  Status listEntries(const std::string& p, const std::string& w,
                     std::vector<FolderEntry>& out) override {
    return inner_.listEntries(p, w, out);
  }

 private:
  FileSystem& inner_;
  Recorder& rec_;
};

class RecordingProfile final : public Profile {
 public:
  RecordingProfile(Profile& inner, Recorder& rec) : inner_(inner), rec_(rec) {}
  std::uint32_t getString(const std::string& section, const std::string& key,
                          const std::string& def, char* buffer, std::uint32_t size,
                          const std::string& path) override {
    rec_.log.push_back("iniRead [" + section + "] " + key + " " + path);
    return inner_.getString(section, key, def, buffer, size, path);
  }
  Status writeString(const std::string& section, const std::string& key, const std::string& value,
                     const std::string& path) override {
    return rec_.fallibleOp("iniWrite [" + section + "] " + key + "=" + value + " " + path, path,
                           [&] { return inner_.writeString(section, key, value, path); });
  }
  Status removeString(const std::string& section, const std::string& key,
                      const std::string& path) override {
    return rec_.fallibleOp("iniRemove [" + section + "] " + key + " " + path, path,
                           [&] { return inner_.removeString(section, key, path); });
  }

 private:
  Profile& inner_;
  Recorder& rec_;
};

// Logs the pause instead of taking it.
class RecordingSleeper final : public Sleeper {
 public:
  explicit RecordingSleeper(Recorder& rec) : rec_(rec) {}
  void sleep(unsigned ms) override { rec_.log.push_back("sleep " + std::to_string(ms)); }

 private:
  Recorder& rec_;
};

// A path or log line as Windows would compare it: "/" for every run of separators, no trailing
// one, ASCII letters in lower case.
inline std::string Normalized(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '/') {
      if (out.empty() || out.back() != '/') out += '/';
    } else {
      out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }
  if (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

// The variables the engine reads, matched without regard to case as on Windows.
class FixedEnvironment final : public Environment {
 public:
  std::map<std::string, std::string> vars;  // by lower-case name
  std::string get(std::string_view name) const override {
    auto it = vars.find(Normalized(std::string(name)));
    return it == vars.end() ? std::string() : it->second;
  }
};

// The package beside an "executable" with its Setup.ini, the per-user and shared JAWS settings
// trees, and an unrelated folder that must never change. Paths are Windows paths, as the engine
// gets them.
class JawsSandbox {
 public:
  JawsSandbox() {
    static std::atomic<unsigned> counter{0};
    root_ = std::filesystem::temp_directory_path() /
            ("instalador-install-" +
             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
             std::to_string(counter++));
    env_.vars = {{"appdata", root() + "\\Roaming"},
                 {"allusersprofile", root() + "\\ProgramData"},
                 {"programfiles", root() + "\\Programas"}};
    write(package() + "\\RedidUzizu.jsb", "package marker script");
    write(package() + "\\leitor.jss", "package source");
    write(package() + "\\sub\\notas.txt", "nested file");
    write(exe() + "\\Extras\\extra1.ext", "package default script");
    write(root() + "\\Outros\\intocado.txt", "leave me");
    settings_ = {{"title", "Instalador"},
                 {"Application", "notepad"},
                 {"ScriptName", "bloco"},
                 {"ModifyScriptName", "1"},
                 {"Extras", "1"}};
    writeSetup();
  }
  ~JawsSandbox() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  JawsSandbox(const JawsSandbox&) = delete;
  JawsSandbox& operator=(const JawsSandbox&) = delete;

  std::string root() const {
    const std::u8string u8 = root_.u8string();
    return std::string(u8.begin(), u8.end());
  }
  std::string exe() const { return root() + "\\Pacote"; }
  std::string setupIni() const { return exe() + "\\Setup.ini"; }
  std::string package() const { return exe() + "\\pastascripts"; }
  std::string settingsFolder(const std::string& version) const {
    return root() + "\\Roaming\\freedom scientific\\jaws\\" + version + "\\settings\\";
  }
  std::string user(const std::string& version, const std::string& language) const {
    return settingsFolder(version) + language;
  }
  std::string shared(const std::string& version, const std::string& language) const {
    return root() + "\\ProgramData\\Freedom scientific\\jaws\\" + version + "\\settings\\" +
           language;
  }

  // A version's program folder under the JAWS root.
  void addProgram(const std::string& version) {
    makeFolder(root() + "\\Programas\\Freedom Scientific\\JAWS\\" + version);
  }
  // Per-user language folders of a version (and so its settings folder).
  void addUser(const std::string& version, const std::vector<std::string>& languages) {
    makeFolder(settingsFolder(version));
    for (const std::string& language : languages) makeFolder(user(version, language));
  }
  // A shared language folder with the default script and its documentation, each naming its
  // version and language, and when asked a confignames.ini that names another application.
  void addShared(const std::string& version, const std::string& language, bool configNames = true) {
    const std::string s = shared(version, language);
    write(s + "\\default.jsb", "shared jsb " + version + " " + language);
    write(s + "\\default.jsd", "shared jsd " + version + " " + language);
    if (configNames) write(s + "\\confignames.ini", "[ConfigNames]\r\nwordpad=wordpad\r\n");
  }
  // Versions 17.0 and 16.0, each with these language folders and their shared folders, and a
  // DEU folder that is no language folder of ours.
  void populate(const std::vector<std::string>& languages) {
    for (const char* version : {"17.0", "16.0"}) {
      addUser(version, languages);
      makeFolder(settingsFolder(version) + "DEU");
      for (const std::string& language : languages) addShared(version, language);
    }
  }

  // Setup.ini's [Configurations] is rewritten on every change; no value erases the key.
  void setting(const std::string& key, const char* value) {
    if (value) {
      settings_[key] = value;
    } else {
      settings_.erase(key);
    }
    writeSetup();
  }

  void write(const std::string& path, const std::string& bytes) const {
    const std::filesystem::path p = native(path);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
  }
  void makeFolder(const std::string& path) const {
    std::filesystem::create_directories(native(path));
  }
  void remove(const std::string& path) const { std::filesystem::remove_all(native(path)); }
  bool isFile(const std::string& path) { return native_.fs->fileExists(path); }
  bool isFolder(const std::string& path) { return native_.fs->folderExists(path); }
  // The file's bytes; "<missing>" when there is no such file.
  std::string read(const std::string& path) {
    std::string bytes;
    return native_.fs->readFile(path, bytes) ? bytes : "<missing>";
  }
  std::string iniValue(const std::string& path, const std::string& section,
                       const std::string& key) {
    return ReadIniValue(*native_.profile, section, key, path);
  }

  Status run(const std::array<VersionBox, 4>& boxes, std::int16_t versionCount) {
    // A fixed start, so that the logs of two sandboxes compare.
    return RunInstall(InstallServices{fs_, profile_, env_, sleeper_}, exe(), setupIni(), boxes,
                      versionCount, nullptr, "20261207-120000");
  }
  // 17.0 and 16.0 ticked.
  Status run() { return run({VersionBox{"17.0", 1}, VersionBox{"16.0", 1}, {}, {}}, 2); }
  Status uninstall(const std::array<VersionBox, 4>& boxes, std::int16_t versionCount,
                   UninstallReport& report) {
    return RunUninstall(InstallServices{fs_, profile_, env_, sleeper_}, exe(), setupIni(), boxes,
                        versionCount, report);
  }

  // Every entry under the root by relative path ("/" between names): files by their bytes,
  // folders as "<folder>", links as "<link>". `withBackups` off leaves out the installer's own
  // files: the backup folders and the lock.
  std::map<std::string, std::string> snapshot(bool withBackups = true) const {
    std::map<std::string, std::string> out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_)) {
      const std::u8string u8 = std::filesystem::relative(entry.path(), root_).u8string();
      std::string rel(u8.begin(), u8.end());
      std::replace(rel.begin(), rel.end(), '\\', '/');
      if (!withBackups &&
          (rel.find("instalador-backup") != std::string::npos || rel.ends_with("instalador.lock")))
        continue;
      std::string& value = out[rel];
      if (entry.is_symlink()) {
        value = "<link>";
      } else if (entry.is_directory()) {
        value = "<folder>";
      } else {
        std::ostringstream bytes;
        bytes << std::ifstream(entry.path(), std::ios::binary).rdbuf();
        value = bytes.str();
      }
    }
    return out;
  }

  // The services as the engine and the application get them, every call logged in `rec`.
  FileSystem& fs() { return fs_; }
  Profile& profile() { return profile_; }
  Environment& env() { return env_; }
  Sleeper& sleeper() { return sleeper_; }

  Recorder rec;

 private:
  // Test paths are spelled as they were created, so turning the separators is all it takes.
  std::filesystem::path native(std::string path) const {
    std::replace(path.begin(), path.end(), '\\', '/');
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
  }
  void writeSetup() const {
    std::string text = "[Configurations]\r\n";
    for (const auto& [key, value] : settings_) text += key + "=" + value + "\r\n";
    write(setupIni(), text);
  }

  std::filesystem::path root_;
  std::map<std::string, std::string> settings_;
  host::NativeServices native_ = host::MakeNativeServices();
  RecordingFileSystem fs_{*native_.fs, rec};
  RecordingProfile profile_{*native_.profile, rec};
  FixedEnvironment env_;
  RecordingSleeper sleeper_{rec};
};

}  // namespace inst::testing
