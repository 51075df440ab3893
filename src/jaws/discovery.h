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
//
// With `yearVersions`, a folder whose whole name is four digits from 2018 on (JAWS names its
// folders by year since then) qualifies as a name ending in ".0" does, under the same
// `startVersion` test; without it, such folders are passed over as they always were.
Discovery DiscoverVersions(FileSystem& fs, const std::string& jawsRoot, std::int16_t startVersion,
                           const std::string& windowTitle, bool yearVersions = false);

// The whole name is four digits, 2018 or later.
bool IsYearVersionName(const std::string& name);

}  // namespace inst::jaws
