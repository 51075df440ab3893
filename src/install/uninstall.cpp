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
#include "undo/keeper.h"
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

// One run's record of one thing (a file, an entry), as the walk back through the records meets
// it.
template <typename Change>
struct Claim {
  std::size_t run;  // index into History's runs, newest first
  const undo::FolderChanges* folder;
  const Change* change;
  std::string kept;  // files: where the run's kept copy is
};
using FileClaims = std::vector<Claim<FileChange>>;
using EntryClaims = std::vector<Claim<EntryChange>>;

// The backups of one version, newest first.
class History {
 public:
  struct Run {
    std::string folder;  // the stamp folder
    std::string file;    // its record
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
    // By the folder's name, never by what the record says of itself: a record copied from
    // another folder, or hand-edited to claim another time, is read where it lies.
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
      Run run{each.folder.path, file, undo::ParseRecord(text, skipped)};
      for (const std::string& line : skipped)
        notes.push_back("instalador: linha ignorada em " + file + ": " + line);
      runs_.push_back(std::move(run));
      index(runs_.size() - 1);
    }
    return Status::success();
  }

  const Run& run(std::size_t i) const { return runs_[i]; }

  // Every record of a file of the language folder, newest first.
  const FileClaims& file(const std::string& language, const std::string& rel) const {
    auto found = files_.find(ascii::Upper(language) + '\n' + PathKey(rel));
    return found == files_.end() ? none_ : found->second;
  }
  const EntryClaims& entry(const std::string& file, const std::string& section,
                           const std::string& key) const {
    auto found = entries_.find(EntryKey(file, section, key));
    return found == entries_.end() ? noEntries_ : found->second;
  }
  // The paths of the language folder that runs of the package `id` wrote.
  std::vector<std::string> filesOf(const std::string& language, const std::string& id) const {
    std::vector<std::string> out;
    if (id.empty()) return out;
    std::set<std::string> seen;
    for (const Run& r : runs_) {
      if (r.record.packageId != id) continue;
      for (const undo::FolderChanges& folder : r.record.folders) {
        if (folder.putBack || !ascii::EqualIgnoringCase(folder.name, language)) continue;
        for (const FileChange& f : folder.files)
          if (f.wrote && seen.insert(PathKey(f.path)).second) out.push_back(f.path);
      }
    }
    return out;
  }

  bool madeFolder(const std::string& language, const std::string& rel) const {
    return folders_.count(ascii::Upper(language) + '\n' + PathKey(rel)) != 0;
  }

 private:
  static std::string EntryKey(const std::string& file, const std::string& section,
                              const std::string& key) {
    return PathKey(file) + '\n' + ascii::Upper(section) + '\n' + ascii::Upper(key);
  }

  // Runs are indexed as they are read, newest first, so each thing's claims come newest first,
  // and a run of thousands of files is looked up, not searched.
  void index(std::size_t i) {
    const Run& r = runs_[i];
    for (const undo::FolderChanges& folder : r.record.folders) {
      if (folder.putBack) continue;
      const std::string language = ascii::Upper(folder.name) + '\n';
      for (const FileChange& f : folder.files)
        files_[language + PathKey(f.path)].push_back(
            {i, &folder, &f, ShownChild(ShownChild(r.folder, folder.name), f.path)});
      for (const std::string& f : folder.newFolders) folders_.insert(language + PathKey(f));
      for (const EntryChange& e : folder.entries)
        entries_[EntryKey(e.file, e.section, e.key)].push_back({i, &folder, &e, {}});
    }
  }

  std::deque<Run> runs_;  // a deque: what the index points into stays where it is
  std::map<std::string, FileClaims> files_;
  std::map<std::string, EntryClaims> entries_;
  std::set<std::string> folders_;
  const FileClaims none_{};
  const EntryClaims noEntries_{};
};

// The walk back through the records of one thing, newest first. A claim already undone by an
// uninstall is passed over, and so is one whose run did not put the present bytes (or value)
// there: `passOver` says which. The first other claim decides; for a package that names itself
// (an Id), the walk goes on while the claims before it are of the same Id, and the oldest of
// them decides: all its versions come off together. Returns the claims it takes, newest first,
// the deciding one last; empty when no record claims the thing.
template <typename Change, typename PassOver>
std::vector<const Claim<Change>*> Walk(const History& history,
                                       const std::vector<Claim<Change>>& claims,
                                       PassOver passOver) {
  std::vector<const Claim<Change>*> taken;
  std::size_t i = 0;
  while (i < claims.size() && (claims[i].change->undone || passOver(*claims[i].change))) ++i;
  if (i == claims.size()) return taken;
  taken.push_back(&claims[i]);
  const std::string& id = history.run(claims[i].run).record.packageId;
  for (++i; !id.empty() && i < claims.size(); ++i) {
    if (claims[i].change->undone || history.run(claims[i].run).record.packageId != id) break;
    taken.push_back(&claims[i]);
  }
  return taken;
}

// Whether the newest claim not yet undone is a run of the package `id` and `wrote` says it
// put the present bytes (or value) there.
template <typename Change, typename Wrote>
bool LatestOf(const History& history, const std::vector<Claim<Change>>& claims,
              const std::string& id, Wrote wrote) {
  for (const Claim<Change>& c : claims)
    if (!c.change->undone) return history.run(c.run).record.packageId == id && wrote(*c.change);
  return false;
}

class FolderUndo {
 public:
  FolderUndo(Services& s, const History& history, const SubFolder& language,
             UninstallReport& report, Status& deferred)
      : s_(s), history_(history), language_(language), report_(report), deferred_(deferred) {}

  // The file `to` (at `rel` in the language folder) holds bytes the package put there: the
  // walk decides whether a kept copy comes back or the file goes. What no record claims stays.
  Status undoFile(const std::string& to, const std::string& rel) {
    FileDigest now;
    if (Status st = undo::Digest(s_.fs, to, now); !st) return st;
    const auto taken = Walk(history_, history_.file(language_.name, rel), [&](const FileChange& c) {
      return (c.replaced && c.kept == now) || (c.wrote && !(*c.wrote == now));
    });
    if (taken.empty()) {
      note(to, "nenhuma instalação registrada o pôs aí (já estava antes dela)");
      return Status::success();
    }
    report_.found = true;
    const Claim<FileChange>& decides = *taken.back();
    if (decides.change->replaced) {
      FileDigest digest;
      if (!isPlainFile(decides.kept) || !undo::Digest(s_.fs, decides.kept, digest) ||
          !(digest == decides.change->kept)) {
        // The package's file stays: the user never ends up with neither.
        const std::string why = "a cópia de segurança " + decides.kept +
                                " falta ou não confere com o registro; o arquivo do pacote ficou";
        note(to, why);
        if (deferred_) deferred_ = Status::failure(to, why + ".");
        return Status::success();
      }
      if (Status st = s_.fs.restoreFile(decides.kept, to); !st) return st;
    } else if (Status st = s_.fs.removeFile(to); !st) {
      return st;
    }
    for (const Claim<FileChange>* c : taken)
      undone_[{c->run, c->folder}].first.push_back(c->change);
    return Status::success();
  }

  // Whether the file is what an earlier uninstall brought back: nothing to say of it.
  bool restoredAlready(const std::string& to, const std::string& rel) {
    FileDigest now;
    if (!undo::Digest(s_.fs, to, now)) return false;
    for (const Claim<FileChange>& c : history_.file(language_.name, rel))
      if (c.change->replaced && c.change->kept == now) return true;
    return false;
  }

  // The entry holds `value`, the package's: the walk decides what it gets back. `madeFile`
  // names the file as the language folder's path when a run may have made it.
  Status undoEntry(const std::string& section, const std::string& key, const std::string& file,
                   const std::string& value, const std::string& madeFile = "") {
    const auto taken = Walk(
        history_, history_.entry(file, section, key),
        [&](const EntryChange& c) { return c.old == value || (c.wrote && *c.wrote != value); });
    const std::string shown = file + " [" + section + "] " + key;
    if (taken.empty()) {
      note(shown, "nenhuma instalação registrada escreveu esta entrada (já estava antes dela)");
      return Status::success();
    }
    report_.found = true;
    const Claim<EntryChange>& decides = *taken.back();
    if (decides.change->untrusted) {
      const std::string why = "o valor antigo no registro " + history_.run(decides.run).file +
                              " não é confiável (quebra de linha ou NUL); a entrada ficou";
      note(shown, why);
      if (deferred_)
        deferred_ = Status::failure(file, "[" + section + "] " + key + ": " + why + ".");
      return Status::success();
    }
    bool fileMade = false;
    if (!madeFile.empty())
      for (const FileChange& f : decides.folder->files)
        fileMade = fileMade || (!f.replaced && PathKey(f.path) == PathKey(madeFile));
    if (Status st = undo::PutEntryBack(s_, file, section, key, decides.change->old, fileMade); !st)
      return st;
    for (const Claim<EntryChange>* c : taken)
      undone_[{c->run, c->folder}].second.push_back(c->change);
    return Status::success();
  }

  void note(const std::string& path, const std::string& why) {
    report_.notes.push_back("instalador: mantido " + path + ": " + why + ".");
  }

  // Each record whose changes were undone says so, so that the next uninstall's walk passes
  // them over: what is appended is only marks, and the rest of the record stays as it was.
  void markUndone() {
    std::map<std::size_t, std::string> marks;
    for (const auto& [where, changes] : undone_)
      marks[where.first] += undo::FormatUndone(where.second->name, changes.first, changes.second);
    for (const auto& [run, text] : marks) {
      const std::string& file = history_.run(run).file;
      std::string record;
      Status st = s_.fs.readFile(file, record);
      // A record grown past what is read would be read no more: it is left as it is.
      if (st && record.size() + text.size() > kMaxTextFileBytes)
        st = Status::failure(file, "o registro ficaria grande demais");
      if (st) st = s_.fs.writeFile(file, record + text);
      if (!st)
        report_.notes.push_back("instalador: não foi possível anotar o que foi desfeito em " +
                                file + ": " + st.reason());
    }
    undone_.clear();
  }

 private:
  // A regular file, seen in its folder's listing: a folder or a link where a kept copy was is
  // not brought back.
  bool isPlainFile(const std::string& path) {
    std::vector<FolderEntry> entries;
    const std::string folder = ShownParent(path);
    if (!s_.fs.listEntries(folder, folder, entries)) return false;
    const std::string name = ascii::Upper(path.substr(folder.size() + 1));
    return std::any_of(entries.begin(), entries.end(), [&](const FolderEntry& e) {
      return e.kind == FolderEntry::Kind::File && ascii::Upper(e.name) == name;
    });
  }

  Services& s_;
  const History& history_;
  const SubFolder& language_;
  UninstallReport& report_;
  Status& deferred_;
  std::map<std::pair<std::size_t, const undo::FolderChanges*>,
           std::pair<std::vector<const FileChange*>, std::vector<const EntryChange*>>>
      undone_;
};

std::string Inner(const std::string& base, const std::string& path) {
  return path.size() > base.size() + 1 ? path.substr(base.size() + 1) : std::string();
}

bool IsDefaultStepFile(const std::string& rel) {
  for (std::string_view name :
       {jaws::kDefaultJsb, jaws::kKeptSharedJsb, jaws::kKeptSharedJsd, jaws::kKeyMapFile})
    if (ascii::EqualIgnoringCase(rel, name)) return true;
  return false;
}

Status UninstallLanguageFolder(Services& s, const History& history,
                               const std::string& packageFolder, const std::string& version,
                               const SubFolder& language, const InstallSettings& settings,
                               const std::string& packageId, UninstallReport& report,
                               Status& deferred) {
  FolderUndo undo(s, history, language, report, deferred);
  std::vector<std::pair<std::string, std::string>> copies;
  if (Status st =
          undo::PlanCopies(s.fs, package::ScriptsFolder(packageFolder), language.path, copies);
      !st)
    return st;

  // For a package that names itself, bytes that the newest run of its Id wrote are the
  // package's too: an older version's file, or a file only an older version shipped.
  const auto ownedById = [&](const std::string& to, const std::string& rel) {
    FileDigest now;
    return !packageId.empty() && undo::Digest(s.fs, to, now) &&
           LatestOf(history, history.file(language.name, rel), packageId,
                    [&](const FileChange& c) { return c.wrote && *c.wrote == now; });
  };
  std::set<std::string> shipped;
  for (const auto& [from, to] : copies) {
    shipped.insert(PathKey(to));
    if (!s.fs.fileExists(to)) continue;
    const std::string rel = Inner(language.path, to);
    bool same = false;
    if (Status st = undo::SameBytes(s.fs, from, to, same); !st) return st;
    if (!same && !ownedById(to, rel)) {
      if (!undo.restoredAlready(to, rel))
        undo.note(to, "não tem os bytes do pacote (foi alterado depois da instalação)");
      continue;
    }
    if (Status st = undo.undoFile(to, rel); !st) return st;
  }
  std::vector<std::string> older;
  for (const std::string& rel : history.filesOf(language.name, packageId)) {
    const std::string to = ShownChild(language.path, rel);
    if (IsDefaultStepFile(rel) || shipped.count(PathKey(to)) || !s.fs.fileExists(to) ||
        !ownedById(to, rel))
      continue;
    older.push_back(to);
    if (Status st = undo.undoFile(to, rel); !st) return st;
  }

  const std::string shared =
      jaws::SharedLanguageFolder(s.env.get("allusersprofile"), version, language.name);
  const std::string configNames = jaws::ConfigNamesFile(shared);
  if (settings.modifyScriptName && s.fs.fileExists(configNames) &&
      CheckConfigNamesKey(settings.application, "")) {
    const std::optional<std::string> value =
        ReadIniEntry(s.profile, jaws::kConfigNamesSection, settings.application, configNames);
    if (value &&
        (*value == settings.scriptName ||
         (!packageId.empty() &&
          LatestOf(history,
                   history.entry(configNames, jaws::kConfigNamesSection, settings.application),
                   packageId, [&](const EntryChange& c) { return c.wrote == value; })))) {
      if (Status st =
              undo.undoEntry(jaws::kConfigNamesSection, settings.application, configNames, *value);
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
  if (!ours && s.fs.fileExists(defaultJsb))
    ours = ownedById(defaultJsb, std::string(jaws::kDefaultJsb));
  if (ours) {
    // Default.jsb goes first: it is never left without the two files it relies on.
    for (std::string_view name : {jaws::kDefaultJsb, jaws::kKeptSharedJsb, jaws::kKeptSharedJsd}) {
      const std::string path = package::Join(language.path, name);
      if (!s.fs.fileExists(path)) continue;
      if (Status st = undo.undoFile(path, std::string(name)); !st) return st;
    }
    const std::string keyMap = package::Join(language.path, jaws::kKeyMapFile);
    const std::string value(jaws::kKeyMapValue);
    if (ReadIniEntry(s.profile, jaws::kKeyMapSection, jaws::kKeyMapKey, keyMap) == value) {
      if (Status st = undo.undoEntry(jaws::kKeyMapSection, jaws::kKeyMapKey, keyMap, value,
                                     std::string(jaws::kKeyMapFile));
          !st)
        return st;
    }
  }
  undo.markUndone();

  // The package's folders, deepest first: those the installation made go when nothing is left
  // in them.
  std::vector<std::string> folders;
  for (const auto& [from, to] : copies) older.push_back(to);
  for (const std::string& to : older)
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
                    std::int16_t versionCount, UninstallReport& report,
                    const std::string& packageId) {
  RunInputs in;
  if (Status st = ReadRunInputs(services, setupIniPath, boxes, versionCount, in); !st) return st;
  const InstallSettings& settings = in.settings;
  const std::string& appData = in.appData;
  const std::size_t visited = in.visited;

  // The same lock as an installation's, for the whole run: what is looked at is what is changed.
  std::unique_ptr<FileLock> lock;
  if (Status st = services.fs.lockFile(jaws::InstallLockFile(appData), lock); !st) return st;

  // A kept copy that cannot come back stops nothing else: the rest is undone, and the run then
  // ends with it.
  Status deferred = Status::success();
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
                                              folder, settings, packageId, report, deferred);
          !st)
        return st;
    }
  }
  return deferred;
}

}  // namespace inst
