#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/event_sink.h"
#include "platform/file_system.h"
#include "platform/mci_port.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/sleeper.h"

namespace inst::trace {

// The services as the log sees them: each passes every call on and tells the sink what it did
// and how it went. They hold no state of their own, so a front end needs nothing but these to
// have a complete log.

// Every file copied (one line per file, also inside a folder copy) with its result.
class LoggedFileSystem final : public FileSystem {
 public:
  LoggedFileSystem(FileSystem& inner, EventSink& sink) : inner_(inner), sink_(sink) {}
  bool fileExists(const std::string& path) override { return inner_.fileExists(path); }
  bool normalFileExists(const std::string& path) override { return inner_.normalFileExists(path); }
  bool folderExists(const std::string& path) override { return inner_.folderExists(path); }
  bool pathExists(const std::string& path) override { return inner_.pathExists(path); }
  Status lockFile(const std::string& path, std::unique_ptr<FileLock>& held) override {
    return inner_.lockFile(path, held);
  }
  Status subFolders(const std::string& path, std::vector<SubFolder>& out) override {
    return inner_.subFolders(path, out);
  }
  Status copyFolder(const std::string& source, const std::string& destination) override;
  Status copyFolderWatched(const std::string& source, const std::string& destination,
                           CopyWatcher& watcher, bool planOnly) override;
  Status copyFile(const std::string& source, const std::string& destination) override;
  Status readFile(const std::string& path, std::string& bytes) override {
    return inner_.readFile(path, bytes);
  }
  Status listEntries(const std::string& path, const std::string& within,
                     std::vector<FolderEntry>& out) override {
    return inner_.listEntries(path, within, out);
  }
  Status planRead(const std::string& path) override { return inner_.planRead(path); }
  Status planReplace(const std::string& path, bool readFirst) override {
    return inner_.planReplace(path, readFirst);
  }
  Status openRead(const std::string& path, std::unique_ptr<FileReader>& reader) override {
    return inner_.openRead(path, reader);
  }
  Status folderIsEmpty(const std::string& path, bool& empty) override {
    return inner_.folderIsEmpty(path, empty);
  }
  // The backup folder and its record are the installer's own: made without a line.
  Status makeFolders(const std::string& path) override { return inner_.makeFolders(path); }
  Status writeFile(const std::string& path, const std::string& bytes) override {
    return inner_.writeFile(path, bytes);
  }
  Status removeFile(const std::string& path) override;
  Status removeFolder(const std::string& path) override;
  Status backupFile(const std::string& source, const std::string& destination) override;
  Status restoreFile(const std::string& source, const std::string& destination) override;

 private:
  FileSystem& inner_;
  EventSink& sink_;
};

// Every value read (section, key, value) and every entry written with its result.
class LoggedProfile final : public Profile {
 public:
  LoggedProfile(Profile& inner, EventSink& sink) : inner_(inner), sink_(sink) {}
  std::uint32_t getString(const std::string& section, const std::string& key,
                          const std::string& def, char* buffer, std::uint32_t size,
                          const std::string& path) override;
  Status writeString(const std::string& section, const std::string& key, const std::string& value,
                     const std::string& path) override;
  Status removeString(const std::string& section, const std::string& key,
                      const std::string& path) override;

 private:
  Profile& inner_;
  EventSink& sink_;
};

// Every multimedia command, exactly as sent.
class LoggedMciPort final : public MciPort {
 public:
  LoggedMciPort(MciPort& inner, EventSink& sink) : inner_(inner), sink_(sink) {}
  LoggedMciPort(std::unique_ptr<MciPort> owned, EventSink& sink)
      : owned_(std::move(owned)), inner_(*owned_), sink_(sink) {}
  MciReply send(const std::string& command, std::size_t replyCapacity) override;

 private:
  std::unique_ptr<MciPort> owned_;
  MciPort& inner_;
  EventSink& sink_;
};

// Every pause.
class LoggedSleeper final : public Sleeper {
 public:
  LoggedSleeper(Sleeper& inner, EventSink& sink) : inner_(inner), sink_(sink) {}
  void sleep(unsigned milliseconds) override;

 private:
  Sleeper& inner_;
  EventSink& sink_;
};

// The event lines themselves, shared by the log and a dry run's plan.
std::string CopyEvent(const std::string& from, const std::string& to);
std::string WriteEvent(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& value);
// backup from="…" to="…", restore from="…" to="…"
std::string BackupEvent(const std::string& from, const std::string& to);
std::string RestoreEvent(const std::string& from, const std::string& to);
// remove file="…", remove folder="…"
std::string RemoveFileEvent(const std::string& path);
std::string RemoveFolderEvent(const std::string& path);
// delete file="…" section="…" key="…"
std::string DeleteEvent(const std::string& file, const std::string& section,
                        const std::string& key);
// The same with ` result=ok` or ` result="reason"` appended.
std::string WithResult(std::string line, const Status& result);
// msgbox title="…" icon=… buttons=ok text="…", as headless writes it.
std::string MessageBoxEvent(const std::string& text, const std::string& title, MsgIcon icon);
// A bare token where the value is one, a quoted string otherwise.
std::string Field(const std::string& name, const std::string& value);

}  // namespace inst::trace
