#include "ui/win32/layout.h"

#include <gtest/gtest.h>

namespace inst::win32ui {
namespace {

TEST(Win32Layout, TwipsBecomeWholePixelsAtTheWindowsDpi) {
  struct Case {
    double twips;
    unsigned dpi;
    int pixels;
  } cases[] = {
      {6680, 96, 445},    // Form1's client width: 445.33
      {5090, 96, 339},    // and height: 339.33
      {2032.5, 96, 136},  // a half pixel rounds away from zero
      {7.5, 96, 1},      {-7.5, 96, -1}, {1455, 96, 97}, {1455, 120, 121},  // 121.25
      {1455, 144, 146},                                                     // 145.5
      {0, 96, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
  EXPECT_DOUBLE_EQ(PixelsToTwips(8, 96), 120);
  EXPECT_DOUBLE_EQ(PixelsToTwips(10, 120), 120);
}

Control Box(ControlKind kind) {
  Control c;
  c.kind = kind;
  return c;
}

Window FrameWithBox() {
  Window w("Form1", "", 6000, 5000);
  Control frame = Box(ControlKind::Frame);
  frame.name = "Frame1";
  frame.left = frame.top = 120;
  w.add(frame);
  Control box = Box(ControlKind::CheckBox);
  box.name = "Check1(1)";
  box.container = "Frame1";
  box.left = 360;
  box.top = 1080;
  box.width = 3495;
  box.height = 375;
  w.add(box);
  return w;
}

TEST(Win32Layout, ControlsInAFrameArePlacedFromItsCornerEachStepRounded) {
  Window w = FrameWithBox();
  EXPECT_EQ(ControlRect(w, w.control("Check1(1)"), 96), (PixelRect{8 + 24, 8 + 72, 233, 25}));
  // 120 twips are 12.5 pixels at 150 DPI and 360 are 37.5: each rounds up on its own.
  EXPECT_EQ(ControlRect(w, w.control("Check1(1)"), 150).left, 13 + 38);
  EXPECT_EQ(ControlRect(w, w.control("Frame1"), 96), (PixelRect{8, 8, 0, 0}));
}

TEST(Win32Layout, EveryLineBreakBecomesTheEditsCrLf) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"a\r\nb", "a\r\nb"},
      {"a\nb", "a\r\nb"},
      {"a\rb", "a\r\nb"},
      {"a\r\r\nb", "a\r\n\r\nb"},
      {"a\n\rb", "a\r\n\r\nb"},
      {"\n", "\r\n"},
      {"a\r", "a\r\n"},
      {std::string("a\0b", 3), "a b"},
      {"Informa\xc3\xa7\xc3\xb5\x65s", "Informa\xc3\xa7\xc3\xb5\x65s"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(EditText(c.in), c.out);
}

TEST(Win32Layout, TheFrameAndItsBoxesMakeOneArrowKeyGroupTheButtonsAnother) {
  const Control frame = Box(ControlKind::Frame), box = Box(ControlKind::CheckBox),
                button = Box(ControlKind::Button), text = Box(ControlKind::TextBox);
  struct Case {
    const Control* previous;
    const Control& control;
    bool starts;
  } cases[] = {
      {nullptr, frame, true}, {&frame, box, false},     {&box, box, false},
      {&box, button, true},   {&button, button, false}, {nullptr, text, true},
      {&text, button, true},  {&button, frame, true},
  };
  for (const Case& c : cases) EXPECT_EQ(StartsGroup(c.previous, c.control), c.starts);
}

}  // namespace
}  // namespace inst::win32ui
