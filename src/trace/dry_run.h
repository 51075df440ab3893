#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/event_sink.h"
#include "platform/file_system.h"
#include "platform/profile.h"

namespace inst::trace {

// The file system and the profile functions of a dry run: they write nothing anywhere, tell
// `plan` each file they would copy and each entry they would write, and answer later questions
// as if those writes had happened (a file the package copy would bring exists, an entry that
// would be written reads back), so that every later step decides as it would in a real run.
// What fails without writing (a missing or unreadable source, a missing folder, a folder or a
// read-only file where a file is written, an INI file that cannot be read) fails as it would,
// with the same reason, so that the dry run ends with the status and message of the real run.
class DryRun {
 public:
  DryRun(FileSystem& fs, Profile& profile, EventSink& plan);
  DryRun(const DryRun&) = delete;
  DryRun& operator=(const DryRun&) = delete;

  FileSystem& fs() { return files_; }
  Profile& profile() { return settings_; }

 private:
  static std::string parentKey(const std::string& pathKey);

  void planFile(const std::string& from, const std::string& to);
  void planFolder(const std::string& pathKey);
  bool plannedFile(const std::string& path) const;
  bool plannedFolder(const std::string& path) const;
  bool removed(const std::string& path) const;
  Status planCopy(const std::string& source, const std::string& destination, CopyWatcher& watcher);
  Status planFileCopy(const std::string& source, const std::string& destination,
                      const std::string& event);

  class Files final : public FileSystem {
   public:
    explicit Files(DryRun& run) : run_(run) {}
    bool fileExists(const std::string& path) override;
    bool normalFileExists(const std::string& path) override;
    bool folderExists(const std::string& path) override;
    bool pathExists(const std::string& path) override;
    Status subFolders(const std::string& path, std::vector<SubFolder>& out) override;
    Status copyFolder(const std::string& source, const std::string& destination) override;
    Status copyFolderWatched(const std::string& source, const std::string& destination,
                             CopyWatcher& watcher, bool planOnly) override;
    Status copyFile(const std::string& source, const std::string& destination) override;
    Status readFile(const std::string& path, std::string& bytes) override;
    Status openRead(const std::string& path, std::unique_ptr<FileReader>& reader) override;
    Status makeFolders(const std::string& path) override;
    Status removeFile(const std::string& path) override;
    Status removeFolder(const std::string& path) override;
    Status folderIsEmpty(const std::string& path, bool& empty) override;
    Status writeFile(const std::string& path, const std::string& bytes) override;
    Status backupFile(const std::string& source, const std::string& destination) override;
    Status restoreFile(const std::string& source, const std::string& destination) override;
    // What is there now: the uninstall looks at its kept copies, which no plan touches.
    Status listEntries(const std::string& path, const std::string& within,
                       std::vector<FolderEntry>& out) override {
      return run_.realFs_.listEntries(path, within, out);
    }

   private:
    DryRun& run_;
  };

  class Settings final : public Profile {
   public:
    explicit Settings(DryRun& run) : run_(run) {}
    std::uint32_t getString(const std::string& section, const std::string& key,
                            const std::string& def, char* buffer, std::uint32_t size,
                            const std::string& path) override;
    Status writeString(const std::string& section, const std::string& key, const std::string& value,
                       const std::string& path) override;
    Status removeString(const std::string& section, const std::string& key,
                        const std::string& path) override;

   private:
    DryRun& run_;
  };

  FileSystem& realFs_;
  Profile& realProfile_;
  EventSink& plan_;
  Files files_{*this};
  Settings settings_{*this};

  // Planned files by key: the real file whose bytes they would hold (empty for an INI file
  // that only the planned writes make).
  std::map<std::string, std::string> plannedFiles_;
  // Planned folders by key, with their names as the copy would make them.
  std::map<std::string, std::string> plannedFolders_;
  // Files and folders a planned removal takes away, by key, until a planned copy brings a file
  // back.
  std::set<std::string> removed_;
  // Folders found to exist already, by key.
  std::set<std::string> realFolders_;
  // Planned entries by file, section and key: the value written, or nullopt when removed.
  std::map<std::tuple<std::string, std::string, std::string>, std::optional<std::string>> entries_;
};

}  // namespace inst::trace
