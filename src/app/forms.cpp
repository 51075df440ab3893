#include "app/forms.h"

namespace inst {
namespace {

Control Make(std::string name, ControlKind kind, std::string container, std::string caption,
             double left, double top, double width, double height, int tabIndex) {
  Control c;
  c.name = std::move(name);
  c.kind = kind;
  c.container = std::move(container);
  c.caption = std::move(caption);
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  c.tabIndex = tabIndex;
  return c;
}

}  // namespace

std::string Check1(int index) {
  return "Check1(" + std::to_string(index) + ")";
}

Window DesignForm1() {
  Window w("Form1", "Form1", 4680, 3090);
  using K = ControlKind;
  w.add(Make("Command1", K::Button, "", "Command1", 1800, 4320, 1455, 495, 0));
  w.add(Make("Frame1", K::Frame, "", "Frame1", 120, 120, 5295, 3015, 1));
  w.add(Make(Check1(0), K::CheckBox, "Frame1", "Check1", 360, 360, 3495, 375, 2));
  w.add(Make("Command2", K::Button, "", "Command2", 5520, 4200, 1455, 615, 3));
  w.add(Make(Check1(1), K::CheckBox, "Frame1", "Check1", 0, 0, 3495, 375, 4));
  w.add(Make(Check1(2), K::CheckBox, "Frame1", "Check1", 0, 0, 3495, 375, 5));
  w.add(Make(Check1(3), K::CheckBox, "Frame1", "Check1", 0, 0, 3495, 375, 6));
  w.add(Make("Command3", K::Button, "", "Inf&ormações", 0, 4200, 1455, 495, 7));
  return w;
}

Window DesignForm2() {
  Window w("Form2", "Form2", 4560, 3030);
  using K = ControlKind;
  Control text = Make("Text1", K::TextBox, "", "", 240, 120, 4095, 2055, 0);
  text.text = "Text1";
  w.add(text);
  w.add(Make("Sair", K::Button, "", "&Fechar", 1440, 2400, 1455, 495, 1));
  return w;
}

}  // namespace inst
