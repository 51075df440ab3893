// What the host tells a front end after each handler: what changed and nothing else, not what
// the toolkit itself reported, and again what the toolkit did that the program refused.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "app/host.h"

namespace inst {
namespace {

using Seen = std::map<std::string, unsigned>;  // "" for the window, else the control's name

constexpr unsigned Bits(std::initializer_list<Property> properties) {
  unsigned bits = 0;
  for (Property p : properties) bits |= static_cast<unsigned>(p);
  return bits;
}

Seen Flatten(const WindowChange& change) {
  Seen seen;
  if (change.what.any()) seen[""] = change.what.bits;
  for (const ControlChange& c : change.controls) seen[c.control->name] = c.what.bits;
  return seen;
}

Window Design() {
  Window w("W", "caption", 3000, 2000);
  auto add = [&](const char* name, ControlKind kind, const char* container, int tab) {
    Control c;
    c.name = name, c.kind = kind, c.container = container, c.tabIndex = tab, c.caption = name;
    w.add(c);
  };
  add("Frame", ControlKind::Frame, "", 0);
  add("Box", ControlKind::CheckBox, "Frame", 1);
  add("Off", ControlKind::CheckBox, "", 2);
  add("Button", ControlKind::Button, "", 3);
  w.control("Off").enabled = false;
  return w;
}

using P = Property;

TEST(Changes, WhatDiffersIsReportedAndAFramesStateIsItsControls) {
  struct Case {
    const char* what;
    std::function<void(Window&)> change;
    Seen reported;
  } cases[] = {
      {"nothing", [](Window&) {}, {}},
      {"caption", [](Window& w) { w.caption = "other"; }, {{"", Bits({P::Caption})}}},
      {"moved", [](Window& w) { w.left = 1; }, {{"", Bits({P::Geometry})}}},
      {"frame drawn",
       [](Window& w) {
         w.addFrame({60, 300});
       },
       {{"", Bits({P::Geometry})}}},
      {"focus", [](Window& w) { w.setFocus("Box"); }, {{"", Bits({P::Focus})}}},
      {"ticked", [](Window& w) { w.control("Box").value = 1; }, {{"Box", Bits({P::Value})}}},
      {"text", [](Window& w) { w.control("Button").text = "t"; }, {{"Button", Bits({P::Text})}}},
      {"button caption",
       [](Window& w) { w.control("Button").caption = "&Go"; },
       {{"Button", Bits({P::Caption})}}},
      {"frame hidden",
       [](Window& w) { w.control("Frame").visible = false; },
       {{"Frame", Bits({P::Visible})}, {"Box", Bits({P::Visible})}}},
      {"frame greyed and moved",
       [](Window& w) {
         w.control("Frame").enabled = false;
         w.control("Frame").top = 5;
       },
       {{"Frame", Bits({P::Enabled, P::Geometry})}, {"Box", Bits({P::Enabled, P::Geometry})}}},
      {"box resized",
       [](Window& w) { w.control("Box").width = 9; },
       {{"Box", Bits({P::Geometry})}}},
      {"tab order",
       [](Window& w) { w.setTabIndex("Button", 0); },
       {{"", Bits({P::TabIndex})},
        {"Frame", Bits({P::TabIndex})},
        {"Box", Bits({P::TabIndex})},
        {"Off", Bits({P::TabIndex})},
        {"Button", Bits({P::TabIndex})}}},
  };
  for (const Case& c : cases) {
    const Window seen = Design();
    Window now = Design();
    c.change(now);
    EXPECT_EQ(Flatten(Compare(seen, now)), c.reported) << c.what;
  }
  // A control the front end never saw has everything to show.
  Window bare("W", "caption", 3000, 2000);
  const Window now = Design();
  EXPECT_EQ(Flatten(Compare(bare, now)).at("Box"), Changed::All().bits);
}

// Shows Design() and records every change it is told.
class Recorder final : public FrontEnd, public Program {
 public:
  Host host{*this, nullptr};
  Window* window = nullptr;
  std::vector<Seen> told;
  std::function<void()> onPress;

  Recorder() { host.attach(*this); }
  void load() override {
    window = &host.load(Design());
    host.show(*window, false);
  }
  void pressed(std::string_view, std::string_view) override {
    if (onPress) onPress();
  }
  void closeRequest(std::string_view) override { host.end(ExitStatus::Done); }
  void stop(ExitStatus status) override { host.end(status); }
  void show(const std::string&, const std::string&, MsgIcon) override {}
  void showWindow(const Window&, bool) override {}
  void windowsChanged(const std::vector<WindowChange>& changes) override {
    for (const WindowChange& c : changes) told.push_back(Flatten(c));
  }
  void windowUnloaded(const Window&) override {}
  void programEnded(ExitStatus) override {}
};

TEST(Host, TellsWhatAHandlerChangedButNotWhatTheToolkitReportedUnlessRefused) {
  struct Case {
    const char* what;
    std::function<void(Recorder&)> act;
    std::vector<Seen> told;
  } cases[] = {
      {"a toolkit's tick", [](Recorder& r) { r.host.inputChecked("W", "Box", 1); }, {}},
      {"a toolkit's focus", [](Recorder& r) { r.host.inputFocus("W", "Button"); }, {}},
      {"a tick the data refuses",
       [](Recorder& r) { r.host.inputChecked("W", "Off", 1); },
       {{{"Off", Bits({P::Value})}}}},
      {"a focus the data refuses",
       [](Recorder& r) { r.host.inputFocus("W", "Off"); },
       {{{"", Bits({P::Focus})}}}},
      {"input for a window not active",
       [](Recorder& r) { r.host.inputChecked("X", "Box", 1); },
       {}},
      {"a click by the dialog rules",
       [](Recorder& r) { r.host.click("Box"); },
       {{{"Box", Bits({P::Value})}}}},
      {"a press moves the focus, which the toolkit did not report",
       [](Recorder& r) { r.host.inputPressed("W", "Button"); },
       {{{"", Bits({P::Focus})}}}},
      {"a handler's change",
       [](Recorder& r) {
         r.host.inputFocus("W", "Button");
         r.onPress = [&r] { r.window->control("Box").caption = "17.0"; };
         r.host.inputPressed("W", "Button");
       },
       {{{"Box", Bits({P::Caption})}}}},
  };
  for (const Case& c : cases) {
    Recorder r;
    r.host.start();
    ASSERT_TRUE(r.told.empty()) << c.what;
    c.act(r);
    EXPECT_EQ(r.told, c.told) << c.what;
  }
}

}  // namespace
}  // namespace inst
