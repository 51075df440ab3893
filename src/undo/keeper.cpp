#include "undo/keeper.h"

#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/windows_path.h"
#include "settings/ini_access.h"
#include "text/ascii.h"
#include "text/event_line.h"
#include "text/lines.h"
#include "text/numbers.h"

namespace inst::undo {
std::string StampNow() {
  const std::time_t now = std::time(nullptr);
  const std::tm* utc = std::gmtime(&now);
  if (utc == nullptr) return "00000000-000000";
  const int parts[] = {utc->tm_year + 1900, utc->tm_mon + 1, utc->tm_mday,
                       utc->tm_hour,        utc->tm_min,     utc->tm_sec};
  std::string text;
  for (int i = 0; i < 6; ++i) {
    if (i == 3) text += '-';
    AppendPadded(text, static_cast<std::uint64_t>(parts[i]), i == 0 ? 4 : 2);
  }
  return text;
}

namespace {

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

}  // namespace

Status PutEntryBack(Services& s, const std::string& file, const std::string& section,
                    const std::string& key, const std::optional<std::string>& old, bool fileMade) {
  if (old) return TryWriteIniValue(s.profile, section, key, *old, file);
  std::string text;
  if (fileMade && s.fs.readFile(file, text) && AtMostOneEntry(text)) return s.fs.removeFile(file);
  return TryRemoveIniValue(s.profile, section, key, file);
}

Keeper::Undo Keeper::MakeUndo(Undo::Kind kind, const std::string& path, const std::string& backup) {
  Undo undo;
  undo.kind = kind;
  undo.path = path;
  undo.backup = backup;
  return undo;
}

namespace {

FileChange Change(bool replaced, const std::string& path, const FileDigest& kept,
                  std::optional<FileDigest> wrote) {
  FileChange change;
  change.replaced = replaced;
  change.path = path;
  change.kept = kept;
  change.wrote = wrote;
  return change;
}

}  // namespace

Keeper::Keeper(Services services, std::string stamp, std::string packageId)
    : s_(services), stamp_(std::move(stamp)), packageId_(std::move(packageId)) {}

void Keeper::enter(const std::string& settingsFolder, const SubFolder& language) {
  Version& version = versions_[ascii::Upper(settingsFolder)];
  if (version.stampFolder.empty()) {
    // A stamp folder of an earlier run in the same second is never written into.
    const std::string base = ShownChild(ShownBase(settingsFolder), std::string(kBackupFolder));
    std::string folder = ShownChild(base, stamp_);
    for (int n = 2; s_.fs.pathExists(folder); ++n)
      folder = ShownChild(base, stamp_ + "-" + std::to_string(n));
    version.stampFolder = folder;
    version.record.started = stamp_;
    version.record.packageId = packageId_;
  }
  version_ = &version;
  language_ = language;
  FolderChanges changes;
  changes.name = language.name;
  changes.path = language.path;
  version.record.folders.push_back(std::move(changes));
  folderIndex_ = version.record.folders.size() - 1;
  undo_.clear();
  newFolders_.clear();
}

std::string Keeper::inner(const std::string& path) const {
  const std::string& base = language_.path;
  if (path.size() <= base.size() + 1 || !IsPathSeparator(path[base.size()]) ||
      !ascii::EqualIgnoringCase(std::string_view(path).substr(0, base.size()), base))
    return "";
  return path.substr(base.size() + 1);
}

Status Keeper::save() {
  if (!version_->made) {
    if (Status st = s_.fs.makeFolders(version_->stampFolder); !st) return st;
    version_->made = true;
  }
  return s_.fs.writeFile(ShownChild(version_->stampFolder, std::string(kRecordFile)),
                         FormatHeader(version_->record.started, version_->record.packageId) +
                             version_->done + FormatFolder(changes()));
}

Keeper::Kind Keeper::kindOf(const std::string& path) {
  const std::string folder = ShownParent(path);
  auto listing = listings_.find(ascii::Upper(folder));
  if (listing == listings_.end()) {
    std::vector<FolderEntry> entries;
    std::optional<std::map<std::string, FolderEntry::Kind>> names;
    if (s_.fs.listEntries(folder, folder, entries)) {
      names.emplace();
      for (const FolderEntry& e : entries) names->emplace(ascii::Upper(e.name), e.kind);
    } else if (!s_.fs.pathExists(folder)) {
      names.emplace();  // nothing is in a folder that is not there
    }
    listing = listings_.emplace(ascii::Upper(folder), std::move(names)).first;
  }
  if (listing->second) {
    auto entry = listing->second->find(ascii::Upper(path.substr(folder.size() + 1)));
    if (entry == listing->second->end()) return Kind::Missing;
    if (entry->second == FolderEntry::Kind::File) return Kind::File;
    if (entry->second == FolderEntry::Kind::Folder) return Kind::Folder;
    if (entry->second == FolderEntry::Kind::Other) return Kind::Other;
  }
  // A link, or a folder that cannot be listed: as the file system resolves it.
  if (s_.fs.fileExists(path)) return Kind::File;
  if (s_.fs.folderExists(path)) return Kind::Folder;
  return s_.fs.pathExists(path) ? Kind::Other : Kind::Missing;
}

Status Keeper::keepFile(const std::string& source, const std::string& destination) {
  const std::string rel = inner(destination);
  if (rel.empty()) return Status::success();  // never outside the language folder
  // The folders the copy will make, parents first, so that undoing removes the deepest first.
  std::vector<std::string> missing;
  for (std::string folder = ShownParent(destination); folder.size() > language_.path.size() + 1;
       folder = ShownParent(folder)) {
    if (kindOf(folder) == Kind::Folder) break;
    missing.insert(missing.begin(), folder);
  }
  for (const std::string& folder : missing) {
    if (!newFolders_.insert(ascii::Upper(folder)).second) continue;
    changes().newFolders.push_back(inner(folder));
    undo_.push_back(MakeUndo(Undo::RemoveFolder, folder));
  }
  if (const Kind kind = kindOf(destination); kind != Kind::File) {
    // Nothing there, or something that is no file and that the copy will refuse.
    if (kind != Kind::Missing) return Status::success();
    FileDigest wrote;
    if (Status st = sourceDigest(source, wrote); !st) return st;
    changes().files.push_back(Change(false, rel, {}, wrote));
    undo_.push_back(MakeUndo(Undo::Remove, destination));
    return Status::success();
  }
  bool same = false;
  if (Status st = SameBytes(s_.fs, source, destination, same); !st) return st;
  if (same) return Status::success();
  FileDigest wrote;
  if (Status st = sourceDigest(source, wrote); !st) return st;
  const std::string kept = ShownChild(ShownChild(version_->stampFolder, language_.name), rel);
  if (Status st = s_.fs.makeFolders(ShownParent(kept)); !st) return st;
  if (Status st = s_.fs.backupFile(destination, kept); !st) return st;
  FileDigest digest;
  if (Status st = Digest(s_.fs, kept, digest); !st) return st;
  changes().files.push_back(Change(true, rel, digest, wrote));
  undo_.push_back(MakeUndo(Undo::Restore, destination, kept));
  return Status::success();
}

Status Keeper::sourceDigest(const std::string& source, FileDigest& out) {
  auto known = sourceDigests_.find(source);
  if (known == sourceDigests_.end()) {
    if (Status st = Digest(s_.fs, source, out); !st) return st;
    known = sourceDigests_.emplace(source, out).first;
  }
  out = known->second;
  return Status::success();
}

Status Keeper::beforeCopyFolder(const std::string& source) {
  listings_.clear();
  std::vector<std::pair<std::string, std::string>> copies;
  std::pair<std::string, std::string> failed;
  if (Status st = PlanCopies(s_.fs, source, language_.path, copies, &failed); !st) {
    // Found by the look, not by the copy: the log still has the copy's line with its reason.
    // A look that failed before it named a copy (the package's folder or one of its files
    // cannot be read) names the one the failure was met in.
    const auto within = [&st](const std::string& folder) {
      return st.path().size() >= folder.size() &&
             ascii::EqualIgnoringCase(std::string_view(st.path()).substr(0, folder.size()),
                                      folder) &&
             (st.path().size() == folder.size() || IsPathSeparator(st.path()[folder.size()]));
    };
    if (failed.second.empty() && within(source))
      failed = {st.path(), language_.path + st.path().substr(source.size())};
    if (failed.second.empty() && within(language_.path))
      failed = {source + st.path().substr(language_.path.size()), st.path()};
    if (s_.events != nullptr && !failed.second.empty())
      s_.events->event(EventLine("copy")
                           .quoted("from", failed.first)
                           .quoted("to", failed.second)
                           .quoted("result", st.reason())
                           .str());
    return st;
  }
  const std::size_t before = undo_.size();
  for (const auto& [from, to] : copies)
    if (Status st = keepFile(from, to); !st) return st;
  return undo_.size() == before ? Status::success() : save();
}

Status Keeper::beforeCopyFile(const std::string& source, const std::string& destination) {
  listings_.clear();
  const std::size_t before = undo_.size();
  if (Status st = keepFile(source, destination); !st) return st;
  return undo_.size() == before ? Status::success() : save();
}

Status Keeper::beforeWrite(const std::string& section, const std::string& key,
                           const std::string& value, const std::string& file) {
  const std::optional<std::string> old = ReadIniEntry(s_.profile, section, key, file);
  if (old == value) return Status::success();

  bool made = false;
  if (s_.fs.fileExists(file)) {
    // Read whole once, so that a file that cannot be read stops the run before any change.
    std::string text;
    if (Status st = s_.fs.readFile(file, text); !st) return st;
  } else if (s_.fs.pathExists(file)) {
    return Status::success();  // no file: the write refuses it and changes nothing
  } else {
    made = true;
    if (!inner(file).empty()) changes().files.push_back(Change(false, inner(file), {}, {}));
  }
  EntryChange entry;
  entry.file = file;
  entry.section = section;
  entry.key = key;
  entry.old = old;
  entry.wrote = value;
  changes().entries.push_back(std::move(entry));
  Undo undo = MakeUndo(Undo::Entry, file);
  undo.section = section;
  undo.key = key;
  undo.old = old;
  undo.wrote = value;
  undo.fileMade = made;
  undo_.push_back(std::move(undo));
  return save();
}

std::string Keeper::putBack() {
  if (version_ == nullptr) return "";
  Status failed = Status::success();
  for (auto undo = undo_.rbegin(); undo != undo_.rend(); ++undo) {
    Status st = Status::success();
    switch (undo->kind) {
      case Undo::Restore: {
        bool same = false;
        if (!s_.fs.fileExists(undo->path) || !SameBytes(s_.fs, undo->path, undo->backup, same) ||
            !same)
          st = s_.fs.restoreFile(undo->backup, undo->path);
        break;
      }
      case Undo::Remove:
        st = s_.fs.removeFile(undo->path);
        break;
      case Undo::RemoveFolder:
        if (s_.fs.folderExists(undo->path)) st = s_.fs.removeFolder(undo->path);
        break;
      case Undo::Entry:
        // Only what this run wrote, and only while it is still there.
        if (ReadIniEntry(s_.profile, undo->section, undo->key, undo->path) == undo->wrote)
          st = PutEntryBack(s_, undo->path, undo->section, undo->key, undo->old, undo->fileMade);
        break;
    }
    if (!st && failed) failed = st;
  }
  if (failed) {
    undo_.clear();
    if (!changes().files.empty() || !changes().entries.empty() || !changes().newFolders.empty()) {
      changes().putBack = true;
      // The record is only a guide to what is kept; a failure to mark it leaves the folder as
      // it is now, and the uninstall checks every file by its bytes anyway.
      (void)save();
    }
    return "A pasta " + language_.path + " foi deixada como estava antes da instalação.";
  }
  std::string line = "Não foi possível deixar a pasta " + language_.path +
                     " como estava antes da instalação: " + failed.path() + ": " + failed.reason() +
                     ".";
  if (s_.fs.folderExists(version_->stampFolder))
    line += " O que ela tinha antes está guardado em " + version_->stampFolder + ".";
  return line;
}

void Keeper::leave() {
  if (version_ != nullptr) version_->done += FormatFolder(changes());
  undo_.clear();
}

}  // namespace inst::undo
