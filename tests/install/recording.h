#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "platform/sleeper.h"

namespace inst::testing {

// One log for every service the engine calls, so tests can check the order across services.
// Operations that can fail (listings, copies, INI writes) are numbered from 1; setting `failAt`
// makes that one fail through `fail` and marks its log line with " !".
struct Recorder {
  std::vector<std::string> log;
  int fallible = 0;
  int failAt = 0;
  // How the chosen operation fails. `run` carries it out on the real service; the default
  // refuses it without touching anything.
  std::function<Status(const std::string& path, const std::function<Status()>& run)> fail =
      [](const std::string& path, const std::function<Status()>&) {
        return Status::failure(path, "injected fault");
      };

  Status fallibleOp(const std::string& entry, const std::string& path,
                    const std::function<Status()>& run);
  // Log lines that start with `prefix`.
  std::vector<std::string> lines(const std::string& prefix) const;
};

class RecordingFileSystem final : public FileSystem {
 public:
  RecordingFileSystem(FileSystem& inner, Recorder& rec) : inner_(inner), rec_(rec) {}

  bool fileExists(const std::string& path) override;
  bool normalFileExists(const std::string& path) override;
  bool folderExists(const std::string& path) override;
  Status subFolders(const std::string& path, std::vector<SubFolder>& out) override;
  Status copyFolder(const std::string& source, const std::string& destination) override;
  Status copyFile(const std::string& source, const std::string& destination) override;
  Status readFile(const std::string& path, std::string& bytes) override;

 private:
  FileSystem& inner_;
  Recorder& rec_;
};

class RecordingProfile final : public Profile {
 public:
  RecordingProfile(Profile& inner, Recorder& rec) : inner_(inner), rec_(rec) {}

  std::uint32_t getString(const std::string& section, const std::string& key,
                          const std::string& def, char* buffer, std::uint32_t size,
                          const std::string& path) override;
  Status writeString(const std::string& section, const std::string& key, const std::string& value,
                     const std::string& path) override;

 private:
  Profile& inner_;
  Recorder& rec_;
};

// Logs the pause instead of taking it.
class RecordingSleeper final : public Sleeper {
 public:
  explicit RecordingSleeper(Recorder& rec) : rec_(rec) {}
  void sleep(unsigned milliseconds) override;

 private:
  Recorder& rec_;
};

// Variables matched without regard to case, as on Windows.
class MapEnvironment final : public Environment {
 public:
  explicit MapEnvironment(std::map<std::string, std::string> vars = {});
  void set(const std::string& name, const std::string& value);
  std::string get(std::string_view name) const override;

 private:
  std::map<std::string, std::string> vars_;  // by upper-cased name
};

}  // namespace inst::testing
