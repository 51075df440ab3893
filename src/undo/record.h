#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "text/status.h"

// What an installation changed, as it keeps it in the backup folder beside the user's settings:
// the files it replaced (copied beside the record), the files and folders it created, and the
// INI entries it wrote with the values they had. The uninstall and the put-back of a failed
// language folder read nothing else.
namespace inst::undo {

inline constexpr std::string_view kBackupFolder = "instalador-backup";
inline constexpr std::string_view kRecordFile = "instalador-backup.ini";

// A file's size and a 64-bit FNV-1a hash of its bytes: enough to tell a kept copy that was
// damaged or edited from the one the installation made.
struct FileDigest {
  std::uint64_t size = 0;
  std::uint64_t hash = 0;
  bool operator==(const FileDigest&) const = default;
};
Status Digest(FileSystem& fs, const std::string& path, FileDigest& out);
// Whether two files hold the same bytes, compared byte for byte.
Status SameBytes(FileSystem& fs, const std::string& a, const std::string& b, bool& same);
// What a copy of the folder `source` into `destination` would write, file by file (source,
// destination as the copy names it), writing nothing. Where the look finds a copy that would
// fail, `failed` (when given) names it.
Status PlanCopies(FileSystem& fs, const std::string& source, const std::string& destination,
                  std::vector<std::pair<std::string, std::string>>& copies,
                  std::pair<std::string, std::string>* failed = nullptr);

struct FileChange {
  bool replaced = false;  // else created: there was no file of that name
  std::string path;       // inside the language folder, "\" between components
  FileDigest kept;        // of the copy kept, when replaced
  // What the run put there; unknown in records of runs that did not say.
  std::optional<FileDigest> wrote;
  // An uninstall has given back what was there before this change.
  bool undone = false;
  std::uint64_t number = 0;  // as the record numbers it (Replaced<N>, Created<N>); 0 unsaved
};

struct EntryChange {
  std::string file;  // full path of the INI file
  std::string section, key;
  std::optional<std::string> old;    // nullopt: there was no such entry
  std::optional<std::string> wrote;  // the value the run wrote; unknown in older records
  bool undone = false;
  // An old value that cannot go back into an INI file as it was read (a line break, a NUL):
  // the entry is left as it is.
  bool untrusted = false;
  std::uint64_t number = 0;  // Entry<N>; 0 unsaved
};

struct FolderChanges {
  std::string name;  // the language folder's name as the file system spells it
  std::string path;  // its full path
  std::vector<FileChange> files;
  std::vector<std::string> newFolders;  // inside the language folder, parents first
  std::vector<EntryChange> entries;
  // The run failed in this folder and put it back as it was: nothing here is the run's any more.
  bool putBack = false;
};

struct RunRecord {
  std::string started;  // the stamp
  std::vector<FolderChanges> folders;
  // The package's Id, when it names one: runs of one Id are versions of one package, and an
  // uninstall takes them off together.
  std::string packageId;
};

std::string FormatRecord(const RunRecord& record);
// The same in parts: the header, then each folder's section.
std::string FormatHeader(const std::string& started, const std::string& packageId = "");
std::string FormatFolder(const FolderChanges& folder);
// What an uninstall appends to a record to say that these changes of the folder `name` are
// undone: a section of the folder's name again, holding only the marks.
std::string FormatUndone(const std::string& name, const std::vector<const FileChange*>& files,
                         const std::vector<const EntryChange*>& entries);
// Reads what it can, in time linear in the text's size; each line it cannot trust is named in
// `skipped`. A section of a folder's name that comes again adds to the first.
RunRecord ParseRecord(std::string_view text, std::vector<std::string>& skipped);

}  // namespace inst::undo
