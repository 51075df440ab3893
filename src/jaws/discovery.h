#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/message_box.h"

namespace inst::jaws {

struct CheckboxState {
  std::string caption;  // the version name; empty (caption unchanged) when not in use
  bool enabled = true;
  bool visible = true;
};

// What discovery decided: either the program stops with a message, or the four checkboxes.
struct Discovery {
  bool stop = false;
  std::string message;  // when stop: text, icon and title of the message box
  MsgIcon icon = MsgIcon::None;
  std::string title;

  std::array<CheckboxState, 4> checkboxes;
  std::int16_t versionCount = 0;   // 0..10
  std::vector<std::string> found;  // the collected names, in listing order (at most 10)
};

inline constexpr const char* kNoVersionsMessage =
    "Não foram encontradas versões do JAWS instaladas!";

// Root check, collection, choice and checkbox states, over the folders of `jawsRoot`. Stops
// with the exclamation icon also when folders exist but none qualifies (a window offering no
// version would be a failure reported as success) and when the root cannot be listed (then the
// message names the folder and the system's reason on two more lines).
Discovery DiscoverVersions(FileSystem& fs, const std::string& jawsRoot, std::int16_t startVersion,
                           const std::string& windowTitle);

}  // namespace inst::jaws
