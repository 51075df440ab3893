#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "install/install.h"
#include "install/real_back_end.h"
#include "install/recording.h"

namespace inst::testing {

// A machine in a fresh temporary folder: the package beside an "executable" with its Setup.ini,
// the per-user and shared JAWS settings trees, and an unrelated folder that must never change.
// The engine runs on the platform's own file-system and profile back ends, logged by `rec`;
// the sleeper only logs. The checks below go to the back ends directly, unlogged, so they see
// paths as Windows does (without regard to case).
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // Windows-style paths, as the engine gets them.
  std::string root() const;
  std::string exe() const;
  std::string setupIni() const { return exe() + "\\Setup.ini"; }
  std::string package() const { return exe() + "\\pastascripts"; }
  std::string settingsFolder(const std::string& version) const;
  std::string user(const std::string& version, const std::string& language) const;
  std::string shared(const std::string& version, const std::string& language) const;

  // Per-user language folders of a version (and so its settings folder).
  void addUser(const std::string& version, const std::vector<std::string>& languages);
  // A shared language folder with the default script and its documentation, each naming its
  // version and language, and when asked a confignames.ini that names another application.
  void addShared(const std::string& version, const std::string& language, bool configNames = true);
  // Versions 17.0 and 16.0, each with these language folders and their shared folders.
  void populate(const std::vector<std::string>& languages);

  // Setup.ini's [Configurations] is rewritten on every change.
  void setting(const std::string& key, const std::string& value);
  void eraseSetting(const std::string& key);

  void write(const std::string& path, const std::string& bytes) const;
  void makeFolder(const std::string& path) const;
  void remove(const std::string& path) const;
  bool isFile(const std::string& path);
  bool isFolder(const std::string& path);
  // The file's bytes; "<missing>" when there is no such file.
  std::string read(const std::string& path);
  std::string iniValue(const std::string& path, const std::string& section, const std::string& key);
  std::filesystem::path native(const std::string& path) const;

  Status run(const std::array<VersionBox, 4>& boxes, std::int16_t versionCount);
  // 17.0 and 16.0 ticked.
  Status run() { return run({VersionBox{"17.0", 1}, VersionBox{"16.0", 1}, {}, {}}, 2); }

  // Every entry under the root by relative path: files by their bytes, folders as "<folder>",
  // links as "<link>".
  std::map<std::string, std::string> snapshot() const;

  Recorder rec;

 private:
  void writeSetup() const;

  std::filesystem::path root_;
  std::vector<std::pair<std::string, std::string>> settings_;
  RealFileSystem realFs_;
  RealProfile realProfile_;
  RecordingFileSystem fs_{realFs_, rec};
  RecordingProfile profile_{realProfile_, rec};
  MapEnvironment env_;
  RecordingSleeper sleeper_{rec};
};

// A path or log line as Windows would compare it: "/" for every run of separators, no trailing
// one, ASCII letters in lower case.
std::string Normalized(const std::string& text);

}  // namespace inst::testing
