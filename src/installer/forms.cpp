#include "installer/forms.h"

#include "installer/names.h"

namespace inst {
namespace {

Control Make(std::string_view name, ControlKind kind, std::string_view container,
             std::string caption, double left, double top, double width, double height,
             int tabIndex) {
  Control c;
  c.name = std::string(name);
  c.kind = kind;
  c.container = std::string(container);
  c.caption = std::move(caption);
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  c.tabIndex = tabIndex;
  return c;
}

}  // namespace

Window DesignForm1() {
  using namespace form1;
  Window w(std::string(kName), "Form1", 4680, 3090);
  using K = ControlKind;
  w.add(Make(kInstall, K::Button, "", "Command1", 1800, 4320, 1455, 495, 0));
  w.add(Make(kFrame, K::Frame, "", "Frame1", 120, 120, 5295, 3015, 1));
  w.add(Make(Check(0), K::CheckBox, kFrame, "Check1", 360, 360, 3495, 375, 2));
  w.add(Make(kExit, K::Button, "", "Command2", 5520, 4200, 1455, 615, 3));
  w.add(Make(Check(1), K::CheckBox, kFrame, "Check1", 0, 0, 3495, 375, 4));
  w.add(Make(Check(2), K::CheckBox, kFrame, "Check1", 0, 0, 3495, 375, 5));
  w.add(Make(Check(3), K::CheckBox, kFrame, "Check1", 0, 0, 3495, 375, 6));
  w.add(Make(kInfo, K::Button, "", "Inf&ormações", 0, 4200, 1455, 495, 7));
  return w;
}

void LayOutForm1(Window& w) {
  using namespace form1;
  Control& command1 = w.control(kInstall);
  Control& command2 = w.control(kExit);
  Control& command3 = w.control(kInfo);
  w.width = w.width + 2000;
  w.height = w.height + 2000;
  command3.top = command1.top;
  command2.top = command1.top;
  const float x = static_cast<float>(command3.width) + static_cast<float>(command3.left);
  w.left = (static_cast<float>(command2.left) - x) / 2;
  // The handler places the window itself, and it opens where it was put.
  w.position = WindowPosition::Manual;
  command1.left = static_cast<float>(x + w.left - command2.width / 2);
  w.setTabIndex(kFrame, 0);
  for (int i = 0; i < kChecks; ++i) w.setTabIndex(Check(i), i + 1);
  w.top = 480;
  for (int i = 1; i <= 3; ++i) {
    Control& box = w.control(Check(i));
    box.left = 360;
    box.top = w.top + 600 * i;
  }
  w.setTabIndex(kInstall, 6);
  w.setTabIndex(kInfo, 5);
  w.setTabIndex(kExit, 7);
  w.cancelButton = std::string(kExit);
}

std::array<VersionBox, 4> Form1Boxes(const Window* form1) {
  std::array<VersionBox, form1::kChecks> out;
  for (int i = 0; i < form1::kChecks && form1 != nullptr; ++i) {
    const Control& box = form1->control(form1::Check(i));
    out[static_cast<std::size_t>(i)] = VersionBox{box.caption, box.value};
  }
  return out;
}

Window DesignForm2() {
  Window w(std::string(form2::kName), "Form2", 4560, 3030);
  // A dialog over the main window.
  w.owner = std::string(form1::kName);
  using K = ControlKind;
  Control text = Make(form2::kText, K::TextBox, "", "", 240, 120, 4095, 2055, 0);
  text.text = "Text1";
  w.add(text);
  w.add(Make(form2::kExit, K::Button, "", "&Fechar", 1440, 2400, 1455, 495, 1));
  return w;
}

}  // namespace inst
