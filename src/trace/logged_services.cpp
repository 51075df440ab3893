#include "trace/logged_services.h"

#include "platform/code_page.h"
#include "text/event_line.h"

namespace inst::trace {
namespace {

bool IsBareToken(const std::string& value) {
  if (value.empty()) return false;
  for (char c : value)
    if (c == ' ' || c == '"' || c == '=' || static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

// Passes each file on to the caller's watcher and logs it; remembers whether any file was told,
// so that a failure on a folder (which has no line of its own) is still logged.
class LoggingWatcher final : public CopyWatcher {
 public:
  LoggingWatcher(EventSink& sink, CopyWatcher* next) : sink_(sink), next_(next) {}
  void fileCopied(const std::string& from, const std::string& to, const Status& r) override {
    if (!r) failedOnAFile = true;
    sink_.event(WithResult(CopyEvent(from, to), r));
    if (next_) next_->fileCopied(from, to, r);
  }
  bool failedOnAFile = false;

 private:
  EventSink& sink_;
  CopyWatcher* next_;
};

Status Watched(FileSystem& inner, EventSink& sink, const std::string& source,
               const std::string& destination, CopyWatcher* next, bool planOnly) {
  // A plan copies nothing, so there is nothing to log.
  if (planOnly && next != nullptr) return inner.copyFolderWatched(source, destination, *next, true);
  LoggingWatcher watcher(sink, next);
  Status result = inner.copyFolderWatched(source, destination, watcher, planOnly);
  if (!result && !watcher.failedOnAFile)
    sink.event(WithResult(CopyEvent(source, result.path()), result));
  return result;
}

const char* IconName(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::None:
      return "none";
    case MsgIcon::Exclamation:
      return "exclamation";
    case MsgIcon::Information:
      return "information";
    case MsgIcon::Critical:
      return "critical";
    case MsgIcon::Question:
      return "question";
  }
  return "none";
}

}  // namespace

std::string MessageBoxEvent(const std::string& text, const std::string& title, MsgIcon icon) {
  return EventLine("msgbox")
      .quoted("title", title)
      .bare("icon", IconName(icon))
      .bare("buttons", "ok")
      .quoted("text", text)
      .str();
}

std::string Field(const std::string& name, const std::string& value) {
  if (IsBareToken(value)) return " " + name + "=" + value;
  return " " + name + "=" + Quote(value);
}

std::string CopyEvent(const std::string& from, const std::string& to) {
  return EventLine("copy").quoted("from", from).quoted("to", to).str();
}

std::string BackupEvent(const std::string& from, const std::string& to) {
  return EventLine("backup").quoted("from", from).quoted("to", to).str();
}

std::string RestoreEvent(const std::string& from, const std::string& to) {
  return EventLine("restore").quoted("from", from).quoted("to", to).str();
}

std::string RemoveFileEvent(const std::string& path) {
  return EventLine("remove").quoted("file", path).str();
}

std::string RemoveFolderEvent(const std::string& path) {
  return EventLine("remove").quoted("folder", path).str();
}

std::string WriteEvent(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& value) {
  return EventLine("write")
      .quoted("file", file)
      .quoted("section", section)
      .quoted("key", key)
      .quoted("value", value)
      .str();
}

std::string DeleteEvent(const std::string& file, const std::string& section,
                        const std::string& key) {
  return EventLine("delete")
      .quoted("file", file)
      .quoted("section", section)
      .quoted("key", key)
      .str();
}

std::string WithResult(std::string line, const Status& result) {
  return line + (result ? std::string(" result=ok") : Field("result", result.reason()));
}

Status LoggedFileSystem::copyFolder(const std::string& source, const std::string& destination) {
  return Watched(inner_, sink_, source, destination, nullptr, false);
}

Status LoggedFileSystem::copyFolderWatched(const std::string& source,
                                           const std::string& destination, CopyWatcher& watcher,
                                           bool planOnly) {
  return Watched(inner_, sink_, source, destination, &watcher, planOnly);
}

Status LoggedFileSystem::copyFile(const std::string& source, const std::string& destination) {
  Status result = inner_.copyFile(source, destination);
  sink_.event(WithResult(CopyEvent(source, destination), result));
  return result;
}

Status LoggedFileSystem::removeFile(const std::string& path) {
  Status result = inner_.removeFile(path);
  sink_.event(WithResult(RemoveFileEvent(path), result));
  return result;
}

Status LoggedFileSystem::removeFolder(const std::string& path) {
  Status result = inner_.removeFolder(path);
  sink_.event(WithResult(RemoveFolderEvent(path), result));
  return result;
}

Status LoggedFileSystem::backupFile(const std::string& source, const std::string& destination) {
  Status result = inner_.backupFile(source, destination);
  sink_.event(WithResult(BackupEvent(source, destination), result));
  return result;
}

Status LoggedFileSystem::restoreFile(const std::string& source, const std::string& destination) {
  Status result = inner_.restoreFile(source, destination);
  sink_.event(WithResult(RestoreEvent(source, destination), result));
  return result;
}

std::uint32_t LoggedProfile::getString(const std::string& section, const std::string& key,
                                       const std::string& def, char* buffer, std::uint32_t size,
                                       const std::string& path) {
  const std::uint32_t n = inner_.getString(section, key, def, buffer, size, path);
  const std::string value(buffer, size == 0 ? 0 : std::min(n, size - 1));
  sink_.event("read" + Field("section", fromAnsi(section)) + Field("key", fromAnsi(key)) +
              EventLine("").quoted("value", fromAnsi(value)).str());
  return n;
}

Status LoggedProfile::writeString(const std::string& section, const std::string& key,
                                  const std::string& value, const std::string& path) {
  Status result = inner_.writeString(section, key, value, path);
  sink_.event(
      WithResult(WriteEvent(path, fromAnsi(section), fromAnsi(key), fromAnsi(value)), result));
  return result;
}

Status LoggedProfile::removeString(const std::string& section, const std::string& key,
                                   const std::string& path) {
  Status result = inner_.removeString(section, key, path);
  sink_.event(WithResult(DeleteEvent(path, fromAnsi(section), fromAnsi(key)), result));
  return result;
}

MciReply LoggedMciPort::send(const std::string& command, std::size_t replyCapacity) {
  sink_.event(EventLine("mci").quoted("command", fromAnsi(command)).str());
  return inner_.send(command, replyCapacity);
}

void LoggedSleeper::sleep(unsigned milliseconds) {
  sink_.event(EventLine("sleep").bare("ms", std::to_string(milliseconds)).str());
  inner_.sleep(milliseconds);
}

}  // namespace inst::trace
