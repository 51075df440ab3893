#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace inst {

// Twips are 1/1440 inch: a pixel at 96 DPI is 15 of them.
inline constexpr double kTwipsPerInch = 1440;
inline constexpr double kTwipsPerPixel = kTwipsPerInch / 96;

enum class ControlKind { Frame, CheckBox, Button, TextBox };

// One control as the window designer holds it. Geometry is in twips, relative to the container.
struct Control {
  std::string name;
  ControlKind kind = ControlKind::Button;
  std::string container;  // empty: the window itself; otherwise the frame's name
  std::string caption;    // "&" marks the access key, "&&" is a literal "&"
  std::string text;       // text boxes only
  double left = 0, top = 0, width = 0, height = 0;
  int tabIndex = 0;
  bool enabled = true;
  bool visible = true;
  bool tabStop = true;
  int value = 0;  // checkboxes: 0 unticked, 1 ticked

  bool operator==(const Control&) const = default;
};

// The keys a user can press in a window.
enum class Key { Tab, ShiftTab, Space, Enter, Esc, Alt };

// Where a window opens: centred on the screen, or where its handlers put it.
enum class WindowPosition { Manual, CenterScreen };

// What a platform's frame (border and title bar) adds to a client area, in twips.
struct WindowFrame {
  double width = 0, height = 0;
  bool operator==(const WindowFrame&) const = default;
};

// The part of the screen a centred window is centred in, in twips.
struct ScreenArea {
  double left = 0, top = 0, width = 1024 * kTwipsPerPixel, height = 768 * kTwipsPerPixel;
};

// A window as data: what the handlers change and a front end shows.
class Window {
 public:
  Window(std::string name, std::string caption, double width, double height);

  const std::string& name() const { return name_; }

  std::string caption;
  double left = 0, top = 0, width = 0, height = 0;  // outer size and position, twips
  std::string cancelButton;                         // activated by Esc; empty when none
  // The window this one is a dialog of, which it stays above; empty for a main window.
  std::string owner;
  WindowPosition position = WindowPosition::CenterScreen;
  // The front end's frame, included in width and height: the client area is what remains.
  WindowFrame frame;

  // Gives the window the platform's frame around the client area it was designed with.
  void addFrame(WindowFrame platformFrame);
  double clientWidth() const { return width - frame.width; }
  double clientHeight() const { return height - frame.height; }

  Control& add(Control control);
  Control* find(std::string_view name);
  const Control* find(std::string_view name) const;
  Control& control(std::string_view name);  // the control must exist
  const Control& control(std::string_view name) const;
  const std::vector<Control>& controls() const { return controls_; }

  // Gives a control its tab index; the others move along so the indices stay 0..n-1.
  void setTabIndex(std::string_view name, int index);
  // The controls in tab-index order.
  std::vector<const Control*> tabOrder() const;

  // Keyboard focus: the name of the focused control, or empty.
  const std::string& focus() const { return focus_; }
  void setFocus(std::string_view name);
  // Whether the control can hold the focus: a visible, enabled tab stop that is not a frame.
  bool canFocus(const Control& c) const;
  // The first control in tab order that can hold the focus, from `after` on, forward or back.
  const Control* nextFocusable(std::string_view after, bool forward) const;
  // The visible, enabled control whose caption marks `letter` as its access key.
  const Control* accessKeyTarget(char letter) const;

  // Whether the control is visible, or enabled, with its container: a box in a hidden frame
  // is hidden too.
  bool shownWithContainer(const Control& c) const;
  bool enabledWithContainer(const Control& c) const;
  // Whether the control takes input: shown and enabled with its container.
  bool usable(const Control& c) const { return shownWithContainer(c) && enabledWithContainer(c); }

  bool operator==(const Window&) const = default;

 private:
  std::string name_;
  std::vector<Control> controls_;
  std::string focus_;
};

// The access-key letter of a caption, upper-cased, or 0.
char AccessKey(std::string_view caption);

}  // namespace inst
