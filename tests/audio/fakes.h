#pragma once

// The player's services, as the tests set them up and read them back.

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/mci_port.h"
#include "platform/message_box.h"

namespace inst {

struct Sent {
  std::string command;
  std::size_t capacity;
  bool operator==(const Sent&) const = default;
};

// Keeps every command as the port receives it (ANSI) and each result code. Answers come from
// `inner` when there is one, else from a queue, and with nothing queued as with nothing open.
class RecordingPort final : public MciPort {
 public:
  explicit RecordingPort(MciPort* inner = nullptr) : inner_(inner) {}
  MciReply send(const std::string& command, std::size_t replyCapacity) override {
    MciReply reply{263, ""};
    if (inner_) {
      reply = inner_->send(command, replyCapacity);
    } else if (!replies.empty()) {
      reply = replies.front();
      replies.pop_front();
    }
    sent.push_back({command, replyCapacity});
    codes.push_back(reply.code);
    return reply;
  }
  std::vector<std::string> commands() const {
    std::vector<std::string> out;
    for (const Sent& s : sent) out.push_back(s.command);
    return out;
  }

  std::vector<Sent> sent;
  std::vector<std::uint32_t> codes;
  std::deque<MciReply> replies;

 private:
  MciPort* inner_;
};

// Only the file search is real here: a path names a file when it was added. Whatever else the
// player asked for would fail.
class FakeFiles final : public FileSystem {
 public:
  bool fileExists(const std::string& path) override { return normalFileExists(path); }
  bool normalFileExists(const std::string& path) override { return normal.count(path) != 0; }
  bool folderExists(const std::string&) override { return false; }
  Status subFolders(const std::string& p, std::vector<SubFolder>&) override { return no(p); }
  Status copyFolder(const std::string& p, const std::string&) override { return no(p); }
  Status copyFile(const std::string& p, const std::string&) override { return no(p); }
  Status readFile(const std::string& p, std::string&) override { return no(p); }

  std::set<std::string> normal;

 private:
  static Status no(const std::string& path) { return Status::failure(path, "not here"); }
};

struct Box {
  std::string text, title;
  MsgIcon icon;
  bool operator==(const Box&) const = default;
};

class RecordingBoxes final : public MessageBoxes {
 public:
  void show(const std::string& text, const std::string& title, MsgIcon icon) override {
    shown.push_back({text, title, icon});
  }
  std::vector<Box> shown;
};

}  // namespace inst
