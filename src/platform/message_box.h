#pragma once

#include <string>

namespace inst {

enum class MsgIcon { None, Exclamation, Information, Critical, Question };

// Modal message boxes with one OK button; the answer is not used.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void show(const std::string& text, const std::string& title, MsgIcon icon) = 0;
};

}  // namespace inst
