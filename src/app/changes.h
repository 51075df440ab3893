#pragma once

#include <vector>

#include "app/window.h"

namespace inst {

// A property of a window or control that a front end shows.
enum class Property : unsigned {
  Caption = 1u << 0,
  Text = 1u << 1,      // a text box's text
  Value = 1u << 2,     // a checkbox's value
  Enabled = 1u << 3,   // the control's own, or its container's
  Visible = 1u << 4,   // likewise
  Geometry = 1u << 5,  // left, top, width, height; a window's frame too; a container's place
  TabIndex = 1u << 6,  // a control's place in the tab order, or its tab stop; for a window: any
  Focus = 1u << 7,     // windows only
};

// A set of properties.
struct Changed {
  unsigned bits = 0;

  static Changed All() { return {~0u}; }
  bool has(Property p) const { return (bits & static_cast<unsigned>(p)) != 0; }
  void add(Property p) { bits |= static_cast<unsigned>(p); }
  bool any() const { return bits != 0; }
  bool operator==(const Changed&) const = default;
};

struct ControlChange {
  const Control* control = nullptr;
  Changed what;
};

// What a front end must change to show a window as the data has it now.
struct WindowChange {
  const Window* window = nullptr;
  Changed what;
  std::vector<ControlChange> controls;  // in the window's order

  bool any() const { return what.any() || !controls.empty(); }
};

// How `now` differs from `seen`, what a front end shows; controls are matched by name, and one
// `seen` lacks has every property changed. A container's place, enabled and visible states are
// its controls' too, since they move, grey and hide with it.
WindowChange Compare(const Window& seen, const Window& now);

// Every property of the window and of each of its controls: what a front end applies when it
// first shows a window, or lays it out again (at another DPI).
WindowChange Everything(const Window& window);

}  // namespace inst
