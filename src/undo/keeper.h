#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/services.h"
#include "undo/record.h"

namespace inst::undo {

// The stamp of a run that starts now: the time in UTC, YYYYMMDD-HHMMSS.
std::string StampNow();

// Gives the entry the value `old` it had before a run wrote it, or takes it out where it had
// none; with `fileMade` (the run made the INI file) the file goes instead when the entry is all it
// holds. Only this entry is written: other entries of the file may be another run's since.
Status PutEntryBack(Services& s, const std::string& file, const std::string& section,
                    const std::string& key, const std::optional<std::string>& old, bool fileMade);

// Keeps, during an installation, what it is about to replace: before each change to a language
// folder (or to an INI entry written for it) the old file is copied into the version's backup
// folder and the change is added to the run's record there, written before the change is made.
// A run that changes nothing makes no backup folder. When a language folder fails part way,
// putBack() brings that folder and its entries back as they were.
class Keeper {
 public:
  // `packageId`: the Id the package names itself by, or empty; each record carries it.
  Keeper(Services services, std::string stamp, std::string packageId = "");

  // The language folder whose changes come next, in the settings folder of its version.
  void enter(const std::string& settingsFolder, const SubFolder& language);
  // Before the package's folder `source` is copied into the language folder.
  Status beforeCopyFolder(const std::string& source);
  // Before `source` is copied to `destination`, a file of the language folder.
  Status beforeCopyFile(const std::string& source, const std::string& destination);
  // Before the entry is written (program text, as TryWriteIniValue takes it).
  Status beforeWrite(const std::string& section, const std::string& key, const std::string& value,
                     const std::string& file);
  // Undoes this run's changes to the current language folder, newest first; returns the line
  // that tells the user what became of it.
  std::string putBack();
  // The current language folder is complete.
  void leave();

 private:
  struct Version {
    std::string stampFolder;
    RunRecord record;
    bool made = false;  // the stamp folder
    // The record's text of the folders completed before the current one: each save writes the
    // whole record, and a record of thousands of files is not formatted again for every change.
    std::string done;
  };
  struct Undo {
    enum Kind { Restore, Remove, RemoveFolder, Entry } kind = Restore;
    std::string path;
    std::string backup;  // Restore: the copy kept
    // Entry: which, what it held before (none: no entry), what the run writes, and whether the
    // run makes the file.
    std::string section, key;
    std::optional<std::string> old;
    std::string wrote;
    bool fileMade = false;
  };
  static Undo MakeUndo(Undo::Kind kind, const std::string& path, const std::string& backup = "");

  // What is at `path`: looked up in its folder's listing, made once per folder for each change,
  // so that a package of thousands of files costs a listing of the few folders it goes to, not
  // a walk down the path for every file. Where no listing can be made, the file system is asked.
  enum class Kind { Missing, File, Folder, Other };
  Kind kindOf(const std::string& path);
  Status keepFile(const std::string& source, const std::string& destination);
  // The digest of a package file, read once however many folders it goes to.
  Status sourceDigest(const std::string& source, FileDigest& out);
  Status save();
  FolderChanges& changes() { return version_->record.folders[folderIndex_]; }
  std::string inner(const std::string& path) const;

  Services s_;
  std::string stamp_;
  std::string packageId_;
  std::map<std::string, FileDigest> sourceDigests_;
  std::map<std::string, Version> versions_;  // by settings folder
  Version* version_ = nullptr;
  std::size_t folderIndex_ = 0;
  SubFolder language_;
  std::vector<Undo> undo_;
  std::set<std::string> newFolders_;  // upper-cased, of the current language folder
  // Listings by upper-cased folder path: upper-cased names and what they are; nullopt where the
  // folder could not be listed.
  std::map<std::string, std::optional<std::map<std::string, FolderEntry::Kind>>> listings_;
};

}  // namespace inst::undo
