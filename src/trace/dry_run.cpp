#include "trace/dry_run.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

#include "platform/code_page.h"
#include "platform/windows_path.h"
#include "text/ascii.h"
#include "trace/logged_services.h"

namespace inst::trace {
namespace {

std::string LastName(const std::string& path) {
  const std::string base = ShownBase(path);
  const std::size_t cut = base.find_last_of("\\/");
  return cut == std::string::npos ? base : base.substr(cut + 1);
}

// Records each file the real file system says it would copy, and passes it on.
class PlanWatcher final : public CopyWatcher {
 public:
  PlanWatcher(const std::function<void(const std::string&, const std::string&)>& planned,
              CopyWatcher* next)
      : planned_(planned), next_(next) {}
  void fileCopied(const std::string& from, const std::string& to, const Status& r) override {
    if (r) planned_(from, to);
    if (next_) next_->fileCopied(from, to, r);
  }

 private:
  const std::function<void(const std::string&, const std::string&)>& planned_;
  CopyWatcher* next_;
};

}  // namespace

DryRun::DryRun(FileSystem& fs, Profile& profile, EventSink& plan)
    : realFs_(fs), realProfile_(profile), plan_(plan) {}

std::string DryRun::parentKey(const std::string& pathKey) {
  const std::size_t cut = pathKey.rfind('\\');
  return cut == std::string::npos ? std::string() : pathKey.substr(0, cut);
}

void DryRun::planFolder(const std::string& path) {
  // Every folder on the way that does not exist yet is one the copy would make. Each folder is
  // asked about once: a package of thousands of files plans them all in the same few folders.
  for (std::string p = path; !p.empty(); p = ShownParent(p)) {
    const std::string k = PathKey(p);
    if (plannedFolders_.count(k) != 0 || realFolders_.count(k) != 0) break;
    if (realFs_.folderExists(p)) {
      realFolders_.insert(k);
      break;
    }
    plannedFolders_.emplace(k, p);
  }
}

bool DryRun::removed(const std::string& path) const {
  return removed_.count(PathKey(path)) != 0;
}

void DryRun::planFile(const std::string& from, const std::string& to) {
  removed_.erase(PathKey(to));
  // A planned source stands for the real file it would be a copy of.
  auto source = plannedFiles_.find(PathKey(from));
  plannedFiles_[PathKey(to)] = source == plannedFiles_.end() ? from : source->second;
  planFolder(ShownParent(to));
}

bool DryRun::plannedFile(const std::string& path) const {
  return plannedFiles_.count(PathKey(path)) != 0;
}

bool DryRun::plannedFolder(const std::string& path) const {
  return plannedFolders_.count(PathKey(path)) != 0;
}

bool DryRun::Files::fileExists(const std::string& path) {
  return run_.plannedFile(path) || (!run_.removed(path) && run_.realFs_.fileExists(path));
}

bool DryRun::Files::normalFileExists(const std::string& path) {
  if (run_.plannedFile(path))
    return path.find_first_of("*?") == std::string::npos && !LastName(path).starts_with('.');
  return !run_.removed(path) && run_.realFs_.normalFileExists(path);
}

bool DryRun::Files::folderExists(const std::string& path) {
  return run_.plannedFolder(path) || (!run_.removed(path) && run_.realFs_.folderExists(path));
}

bool DryRun::Files::pathExists(const std::string& path) {
  return run_.plannedFile(path) || run_.plannedFolder(path) ||
         (!run_.removed(path) && run_.realFs_.pathExists(path));
}

Status DryRun::Files::subFolders(const std::string& path, std::vector<SubFolder>& out) {
  Status listed = run_.realFs_.subFolders(path, out);
  if (!listed && !run_.plannedFolder(path)) return listed;
  const std::string parent = PathKey(path);
  for (const auto& [folderKey, name] : run_.plannedFolders_) {
    if (parentKey(folderKey) != parent) continue;
    const std::string upperName = ascii::Upper(LastName(name));
    const bool present = std::any_of(out.begin(), out.end(), [&](const SubFolder& f) {
      return ascii::Upper(f.name) == upperName;
    });
    if (!present) out.push_back({LastName(name), ShownChild(ShownBase(path), LastName(name))});
  }
  std::sort(out.begin(), out.end(), [](const SubFolder& a, const SubFolder& b) {
    const std::string ua = ascii::Upper(a.name), ub = ascii::Upper(b.name);
    return ua != ub ? ua < ub : a.name < b.name;
  });
  return Status::success();
}

Status DryRun::planCopy(const std::string& source, const std::string& destination,
                        CopyWatcher& watcher) {
  const std::function<void(const std::string&, const std::string&)> planned =
      [this](const std::string& from, const std::string& to) {
        plan_.event(CopyEvent(from, to));
        planFile(from, to);
      };
  PlanWatcher plan(planned, &watcher);
  Status result = realFs_.copyFolderWatched(source, destination, plan, true);
  if (result) planFolder(ShownBase(destination));
  return result;
}

Status DryRun::Files::copyFolder(const std::string& source, const std::string& destination) {
  struct None final : CopyWatcher {
    void fileCopied(const std::string&, const std::string&, const Status&) override {}
  } none;
  return run_.planCopy(source, destination, none);
}

Status DryRun::Files::copyFolderWatched(const std::string& source, const std::string& destination,
                                        CopyWatcher& watcher, bool planOnly) {
  // Asked only what the copy would write (by the backup, before the copy): nothing is planned.
  if (planOnly) return run_.realFs_.copyFolderWatched(source, destination, watcher, true);
  return run_.planCopy(source, destination, watcher);
}

Status DryRun::planFileCopy(const std::string& source, const std::string& destination,
                            const std::string& event) {
  // A planned file is one an earlier copy makes: it is there and can be read, and a file put
  // over it, or into a folder the plan makes, meets nothing the real file system has now.
  if (removed(source)) return Status::failure(source, "não existe");
  if (!plannedFile(source)) {
    if (Status why = realFs_.planRead(source); !why) return why;
  }
  if (!plannedFile(destination) && !plannedFolder(ShownParent(destination))) {
    if (Status why = realFs_.planReplace(destination, false); !why) return why;
  }
  plan_.event(event);
  planFile(source, destination);
  return Status::success();
}

Status DryRun::Files::copyFile(const std::string& source, const std::string& destination) {
  return run_.planFileCopy(source, destination, CopyEvent(source, destination));
}

Status DryRun::Files::backupFile(const std::string& source, const std::string& destination) {
  return run_.planFileCopy(source, destination, BackupEvent(source, destination));
}

Status DryRun::Files::restoreFile(const std::string& source, const std::string& destination) {
  return run_.planFileCopy(source, destination, RestoreEvent(source, destination));
}

Status DryRun::Files::makeFolders(const std::string& path) {
  if (fileExists(path)) return Status::failure(path, "não é uma pasta");
  run_.removed_.erase(PathKey(path));
  run_.planFolder(ShownBase(path));
  return Status::success();
}

Status DryRun::Files::removeFile(const std::string& path) {
  if (folderExists(path)) return Status::failure(path, "é uma pasta");
  run_.plan_.event(RemoveFileEvent(path));
  run_.plannedFiles_.erase(PathKey(path));
  run_.removed_.insert(PathKey(path));
  return Status::success();
}

Status DryRun::Files::folderIsEmpty(const std::string& path, bool& empty) {
  empty = false;
  const std::string folder = PathKey(path);
  for (const auto& [fileKey, source] : run_.plannedFiles_)
    if (parentKey(fileKey) == folder) return Status::success();
  for (const auto& [folderKey, name] : run_.plannedFolders_)
    if (parentKey(folderKey) == folder) return Status::success();
  if (!run_.plannedFolder(path)) {
    std::vector<FolderEntry> entries;
    if (Status st = run_.realFs_.listEntries(path, path, entries); !st) return st;
    for (const FolderEntry& entry : entries)
      if (!run_.removed(ShownChild(ShownBase(path), entry.name))) return Status::success();
  }
  empty = true;
  return Status::success();
}

Status DryRun::Files::removeFolder(const std::string& path) {
  bool empty = false;
  if (Status st = folderIsEmpty(path, empty); !st) return st;
  if (!empty) return Status::failure(path, "a pasta não está vazia");
  run_.plan_.event(RemoveFolderEvent(path));
  run_.plannedFolders_.erase(PathKey(path));
  run_.removed_.insert(PathKey(path));
  return Status::success();
}

Status DryRun::Files::writeFile(const std::string& path, const std::string&) {
  // The installer's own record beside its backups: nothing the plan shows.
  if (!run_.plannedFolder(ShownParent(path))) {
    if (Status why = run_.realFs_.planReplace(path, false); !why) return why;
  }
  return Status::success();
}

Status DryRun::Files::openRead(const std::string& path, std::unique_ptr<FileReader>& reader) {
  if (run_.removed(path) && !run_.plannedFile(path)) return Status::failure(path, "não existe");
  auto planned = run_.plannedFiles_.find(PathKey(path));
  if (planned == run_.plannedFiles_.end() || planned->second.empty())
    return run_.realFs_.openRead(path, reader);
  return run_.realFs_.openRead(planned->second, reader);
}

Status DryRun::Files::readFile(const std::string& path, std::string& bytes) {
  if (run_.removed(path) && !run_.plannedFile(path)) return Status::failure(path, "não existe");
  auto planned = run_.plannedFiles_.find(PathKey(path));
  if (planned == run_.plannedFiles_.end()) return run_.realFs_.readFile(path, bytes);
  if (planned->second.empty()) {
    bytes.clear();  // an INI file made only by planned writes: its entries read back instead
    return Status::success();
  }
  return run_.realFs_.readFile(planned->second, bytes);
}

std::uint32_t DryRun::Settings::getString(const std::string& section, const std::string& key,
                                          const std::string& def, char* buffer, std::uint32_t size,
                                          const std::string& path) {
  auto written = run_.entries_.find({PathKey(path), ascii::Upper(section), ascii::Upper(key)});
  if (written == run_.entries_.end())
    return run_.realProfile_.getString(section, key, def, buffer, size, path);
  if (size == 0) return 0;
  std::string_view text = def;
  if (written->second) {
    text = *written->second;
  } else {
    // A removed entry reads as missing: the default, without its trailing spaces.
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  }
  const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), size - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return n;
}

Status DryRun::Settings::writeString(const std::string& section, const std::string& key,
                                     const std::string& value, const std::string& path) {
  if (!run_.plannedFile(path) && !run_.plannedFolder(ShownParent(path))) {
    if (Status why = run_.realFs_.planReplace(path, true); !why) return why;
  }
  run_.plan_.event(WriteEvent(path, fromAnsi(section), fromAnsi(key), fromAnsi(value)));
  run_.entries_[{PathKey(path), ascii::Upper(section), ascii::Upper(key)}] = value;
  if (!run_.realFs_.fileExists(path)) run_.plannedFiles_.try_emplace(PathKey(path));
  return Status::success();
}

Status DryRun::Settings::removeString(const std::string& section, const std::string& key,
                                      const std::string& path) {
  // Only a file that is there gets rewritten; a missing one is left missing.
  if (!run_.plannedFile(path) && run_.realFs_.fileExists(path)) {
    if (Status why = run_.realFs_.planReplace(path, true); !why) return why;
  }
  run_.plan_.event(DeleteEvent(path, fromAnsi(section), fromAnsi(key)));
  run_.entries_[{PathKey(path), ascii::Upper(section), ascii::Upper(key)}] = std::nullopt;
  return Status::success();
}

}  // namespace inst::trace
