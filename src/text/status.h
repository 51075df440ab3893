#pragma once

#include <string>
#include <utility>

namespace inst {

// The outcome of one file operation: success, or the path it failed on and the system's reason.
class [[nodiscard]] Status {
 public:
  static Status success() { return Status(); }
  static Status failure(std::string path, std::string reason) {
    Status s;
    s.failed_ = true;
    s.path_ = std::move(path);
    s.reason_ = std::move(reason);
    return s;
  }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::string& path() const { return path_; }
  const std::string& reason() const { return reason_; }
  // A last line for the message of a failure: what became of the files it was changing.
  const std::string& note() const { return note_; }
  Status& withNote(std::string note) {
    note_ = std::move(note);
    return *this;
  }

 private:
  bool failed_ = false;
  std::string path_;
  std::string reason_;
  std::string note_;
};

}  // namespace inst
