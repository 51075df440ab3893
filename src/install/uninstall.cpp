#include "install/uninstall.h"

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "jaws/layout.h"
#include "package/layout.h"
#include "platform/windows_path.h"
#include "settings/ini_access.h"
#include "text/ascii.h"
#include "text/lines.h"
#include "undo/record.h"

namespace inst {
namespace {

using undo::EntryChange;
using undo::FileChange;
using undo::FileDigest;
using undo::RunRecord;

// "YYYYMMDD-HHMMSS" or that with "-N": the stamp and N (1 without it), or false.
bool ParseStamp(const std::string& name, std::string& stamp, unsigned& n) {
  if (name.size() < 15) return false;
  for (std::size_t i = 0; i < 15; ++i)
    if (i == 8 ? name[i] != '-' : !(name[i] >= '0' && name[i] <= '9')) return false;
  stamp = name.substr(0, 15);
  n = 1;
  if (name.size() == 15) return true;
  if (name[15] != '-' || name.size() > 20 || name.size() == 16) return false;
  n = 0;
  for (std::size_t i = 16; i < name.size(); ++i) {
    if (!(name[i] >= '0' && name[i] <= '9')) return false;
    n = n * 10 + static_cast<unsigned>(name[i] - '0');
  }
  return n >= 2;
}

// The backups of one version, newest first.
class History {
 public:
  struct Run {
    std::string folder;  // the stamp folder
    RunRecord record;
  };

  Status load(FileSystem& fs, const std::string& settingsFolder, std::vector<std::string>& notes) {
    const std::string base =
        ShownChild(ShownBase(settingsFolder), std::string(undo::kBackupFolder));
    if (!fs.folderExists(base)) return Status::success();
    std::vector<SubFolder> stamps;
    if (Status st = fs.subFolders(base, stamps); !st) return st;
    struct Named {
      std::string stamp;
      unsigned n;
      SubFolder folder;
    };
    std::vector<Named> named;
    for (SubFolder& f : stamps) {
      Named each{{}, 0, f};
      if (ParseStamp(f.name, each.stamp, each.n)) named.push_back(std::move(each));
    }
    std::sort(named.begin(), named.end(), [](const Named& a, const Named& b) {
      return a.stamp != b.stamp ? a.stamp > b.stamp : a.n > b.n;
    });
    for (const Named& each : named) {
      const std::string file = ShownChild(each.folder.path, std::string(undo::kRecordFile));
      std::string text;
      if (!fs.fileExists(file)) continue;
      if (Status st = fs.readFile(file, text); !st) {
        notes.push_back("instalador: registro de cópia de segurança ignorado: " + st.path() + ": " +
                        st.reason());
        continue;
      }
      std::vector<std::string> skipped;
      Run run{each.folder.path, undo::ParseRecord(text, skipped)};
      for (const std::string& line : skipped)
        notes.push_back("instalador: linha ignorada em " + file + ": " + line);
      index(runs_.emplace_back(std::move(run)));
    }
    return Status::success();
  }

  // The newest record of a file of the language folder, and where its kept copy is.
  const FileChange* file(const std::string& language, const std::string& rel,
                         std::string& kept) const {
    auto found = files_.find(ascii::Upper(language) + '\n' + PathKey(rel));
    if (found == files_.end()) return nullptr;
    kept = found->second.second;
    return found->second.first;
  }

  const EntryChange* entry(const std::string& file, const std::string& section,
                           const std::string& key) const {
    auto found = entries_.find(EntryKey(file, section, key));
    return found == entries_.end() ? nullptr : found->second;
  }

  bool madeFolder(const std::string& language, const std::string& rel) const {
    return folders_.count(ascii::Upper(language) + '\n' + PathKey(rel)) != 0;
  }

 private:
  static std::string EntryKey(const std::string& file, const std::string& section,
                              const std::string& key) {
    return PathKey(file) + '\n' + ascii::Upper(section) + '\n' + ascii::Upper(key);
  }

  // Runs are indexed as they are read, newest first: the first record of a thing is the newest,
  // and a run of thousands of files is looked up, not searched.
  void index(const Run& run) {
    for (const undo::FolderChanges& folder : run.record.folders) {
      if (folder.putBack) continue;
      const std::string language = ascii::Upper(folder.name) + '\n';
      for (const FileChange& f : folder.files)
        files_.try_emplace(language + PathKey(f.path), &f,
                           ShownChild(ShownChild(run.folder, folder.name), f.path));
      for (const std::string& f : folder.newFolders) folders_.insert(language + PathKey(f));
      for (const EntryChange& e : folder.entries)
        entries_.try_emplace(EntryKey(e.file, e.section, e.key), &e);
    }
  }

  std::deque<Run> runs_;  // a deque: what the index points into stays where it is
  std::map<std::string, std::pair<const FileChange*, std::string>> files_;
  std::map<std::string, const EntryChange*> entries_;
  std::set<std::string> folders_;
};

// Whether the INI text has one entry at most: lines that are not blank, a comment or a section
// header.
bool AtMostOneEntry(std::string_view text) {
  int entries = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::string_view line = NextLine(text, start);
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == ';' || line[first] == '[') continue;
    ++entries;
  }
  return entries <= 1;
}

class FolderUndo {
 public:
  FolderUndo(Services& s, const History& history, const SubFolder& language,
             UninstallReport& report)
      : s_(s), history_(history), language_(language), report_(report) {}

  // Takes the package's file `to` away, or brings back the newest kept copy of it.
  Status removeOrRestore(const std::string& to, const std::string& rel) {
    std::string kept;
    const FileChange* change = history_.file(language_.name, rel, kept);
    if (change == nullptr || !change->replaced) return s_.fs.removeFile(to);
    FileDigest digest;
    if (!s_.fs.fileExists(kept) || !undo::Digest(s_.fs, kept, digest) ||
        !(digest == change->kept)) {
      note(to, "a cópia de segurança " + kept + " falta ou não confere com o registro");
      return Status::success();
    }
    return s_.fs.restoreFile(kept, to);
  }

  // Whether the file is the kept copy that an uninstall brought back already.
  bool restoredAlready(const std::string& to, const std::string& rel) {
    std::string kept;
    const FileChange* change = history_.file(language_.name, rel, kept);
    FileDigest digest;
    return change != nullptr && change->replaced && undo::Digest(s_.fs, to, digest) &&
           digest == change->kept;
  }

  // Gives the entry its recorded old value back, or removes it; with `fileMayGo` (the
  // installation made the file) the file goes instead when this is its only entry.
  Status undoEntry(const std::string& section, const std::string& key, const std::string& file,
                   bool fileMayGo) {
    const EntryChange* change = history_.entry(file, section, key);
    if (change != nullptr && change->old)
      return TryWriteIniValue(s_.profile, section, key, *change->old, file);
    std::string text;
    if (fileMayGo && s_.fs.readFile(file, text) && AtMostOneEntry(text))
      return s_.fs.removeFile(file);
    return TryRemoveIniValue(s_.profile, section, key, file);
  }

  void note(const std::string& path, const std::string& why) {
    report_.notes.push_back("instalador: mantido " + path + ": " + why + ".");
  }

 private:
  Services& s_;
  const History& history_;
  const SubFolder& language_;
  UninstallReport& report_;
};

std::string Inner(const std::string& base, const std::string& path) {
  return path.size() > base.size() + 1 ? path.substr(base.size() + 1) : std::string();
}

Status UninstallLanguageFolder(Services& s, const History& history,
                               const std::string& packageFolder, const std::string& version,
                               const SubFolder& language, const InstallSettings& settings,
                               UninstallReport& report) {
  FolderUndo undo(s, history, language, report);
  std::vector<std::pair<std::string, std::string>> copies;
  if (Status st =
          undo::PlanCopies(s.fs, package::ScriptsFolder(packageFolder), language.path, copies);
      !st)
    return st;

  for (const auto& [from, to] : copies) {
    if (!s.fs.fileExists(to)) continue;
    const std::string rel = Inner(language.path, to);
    bool same = false;
    if (Status st = undo::SameBytes(s.fs, from, to, same); !st) return st;
    if (!same) {
      if (!undo.restoredAlready(to, rel))
        undo.note(to, "não tem os bytes do pacote (foi alterado depois da instalação)");
      continue;
    }
    report.found = true;
    if (Status st = undo.removeOrRestore(to, rel); !st) return st;
  }

  const std::string shared =
      jaws::SharedLanguageFolder(s.env.get("allusersprofile"), version, language.name);
  const std::string configNames = jaws::ConfigNamesFile(shared);
  if (settings.modifyScriptName && s.fs.fileExists(configNames) &&
      CheckConfigNamesKey(settings.application, "")) {
    const std::optional<std::string> value =
        ReadIniEntry(s.profile, jaws::kConfigNamesSection, settings.application, configNames);
    if (value == settings.scriptName) {
      report.found = true;
      if (Status st =
              undo.undoEntry(jaws::kConfigNamesSection, settings.application, configNames, false);
          !st)
        return st;
    }
  }

  const std::string defaultJsb = package::Join(language.path, jaws::kDefaultJsb);
  const std::string packageScript = package::DefaultScriptPath(packageFolder);
  bool ours = false;
  if (s.fs.fileExists(defaultJsb) && s.fs.fileExists(packageScript)) {
    if (Status st = undo::SameBytes(s.fs, packageScript, defaultJsb, ours); !st) return st;
  }
  if (ours) {
    report.found = true;
    // Default.jsb goes first: it is never left without the two files it relies on.
    for (std::string_view name : {jaws::kDefaultJsb, jaws::kKeptSharedJsb, jaws::kKeptSharedJsd}) {
      const std::string path = package::Join(language.path, name);
      if (!s.fs.fileExists(path)) continue;
      if (Status st = undo.removeOrRestore(path, std::string(name)); !st) return st;
    }
    const std::string keyMap = package::Join(language.path, jaws::kKeyMapFile);
    if (ReadIniEntry(s.profile, jaws::kKeyMapSection, jaws::kKeyMapKey, keyMap) ==
        std::string(jaws::kKeyMapValue)) {
      std::string kept;
      const FileChange* made = history.file(language.name, std::string(jaws::kKeyMapFile), kept);
      if (Status st = undo.undoEntry(jaws::kKeyMapSection, jaws::kKeyMapKey, keyMap,
                                     made != nullptr && !made->replaced);
          !st)
        return st;
    }
  }

  // The package's folders, deepest first: those the installation made go when nothing is left
  // in them.
  std::vector<std::string> folders;
  for (const auto& [from, to] : copies)
    for (std::string f = ShownParent(to); f.size() > language.path.size(); f = ShownParent(f))
      if (std::find(folders.begin(), folders.end(), f) == folders.end()) folders.push_back(f);
  std::sort(folders.begin(), folders.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  for (const std::string& folder : folders) {
    bool empty = false;
    if (!s.fs.folderExists(folder) ||
        !history.madeFolder(language.name, Inner(language.path, folder)))
      continue;
    if (Status st = s.fs.folderIsEmpty(folder, empty); !st || !empty) continue;
    if (Status st = s.fs.removeFolder(folder); !st) return st;
  }
  return Status::success();
}

}  // namespace

Status RunUninstall(Services services, const std::string& packageFolder,
                    const std::string& setupIniPath, const std::array<VersionBox, 4>& boxes,
                    std::int16_t versionCount, UninstallReport& report) {
  RunInputs in;
  if (Status st = ReadRunInputs(services, setupIniPath, boxes, versionCount, in); !st) return st;
  const InstallSettings& settings = in.settings;
  const std::string& appData = in.appData;
  const std::size_t visited = in.visited;

  // The same lock as an installation's, for the whole run: what is looked at is what is changed.
  std::unique_ptr<FileLock> lock;
  if (Status st = services.fs.lockFile(jaws::InstallLockFile(appData), lock); !st) return st;

  for (std::size_t i = 0; i < visited; ++i) {
    if (boxes[i].value == 0) continue;
    const std::string settingsFolder = jaws::UserSettingsFolder(appData, boxes[i].caption);
    if (!services.fs.folderExists(settingsFolder)) continue;
    std::vector<SubFolder> subFolders;
    if (Status st = services.fs.subFolders(settingsFolder, subFolders); !st) return st;
    History history;
    if (Status st = history.load(services.fs, settingsFolder, report.notes); !st) return st;
    for (const SubFolder& folder : subFolders) {
      if (!jaws::IsLanguageFolderName(folder.name)) continue;
      if (Status st = UninstallLanguageFolder(services, history, packageFolder, boxes[i].caption,
                                              folder, settings, report);
          !st)
        return st;
    }
  }
  return Status::success();
}

}  // namespace inst
