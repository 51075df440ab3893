#include <gtest/gtest.h>

#include "app/window.h"
#include "installer/forms.h"
#include "installer/names.h"

namespace inst {
namespace {

std::vector<std::string> Order(const Window& w) {
  std::vector<std::string> names;
  for (const Control* c : w.tabOrder()) names.push_back(c->name);
  return names;
}

TEST(Window, AssigningATabIndexMovesTheOthersAlong) {
  Window w = DesignForm1();
  w.setTabIndex("Frame1", 0);
  for (int i = 0; i < 4; ++i) w.setTabIndex(form1::Check(i), i + 1);
  EXPECT_EQ(Order(w), (std::vector<std::string>{"Frame1", "Check1(0)", "Check1(1)", "Check1(2)",
                                                "Check1(3)", "Command1", "Command2", "Command3"}));
  w.setTabIndex("Command1", 6);
  w.setTabIndex("Command3", 5);
  w.setTabIndex("Command2", 7);
  EXPECT_EQ(Order(w), (std::vector<std::string>{"Frame1", "Check1(0)", "Check1(1)", "Check1(2)",
                                                "Check1(3)", "Command3", "Command1", "Command2"}));
  // Indices stay 0..n-1 whatever is asked, also beyond the end or below 0.
  w.setTabIndex("Frame1", 99);
  w.setTabIndex("Command2", -5);
  std::vector<int> indices;
  for (const Control* c : w.tabOrder()) indices.push_back(c->tabIndex);
  EXPECT_EQ(indices, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(Order(w).front(), "Command2");
  EXPECT_EQ(Order(w).back(), "Frame1");
}

TEST(Window, AccessKeys) {
  struct Case {
    const char* caption;
    char key;
  } cases[] = {{"&Instalar", 'I'}, {"Inf&ormações", 'O'}, {"&&Sair", 0}, {"A&&B &c", 'C'},
               {"no key", 0},      {"trailing&", 0},      {"", 0}};
  for (const Case& c : cases) EXPECT_EQ(AccessKey(c.caption), c.key) << c.caption;
}

TEST(Window, FocusSkipsFramesHiddenDisabledAndControlsInAHiddenFrame) {
  Window w = DesignForm1();
  w.control(form1::Check(1)).visible = false;
  w.control(form1::Check(2)).enabled = false;
  // Design order: Command1, Frame1, Check1(0), Command2, Check1(1..3), Command3.
  EXPECT_EQ(w.nextFocusable("Command1", true)->name, "Check1(0)");
  EXPECT_EQ(w.nextFocusable("Command2", true)->name, "Check1(3)");
  EXPECT_EQ(w.nextFocusable("Command1", false)->name, "Command3");  // wraps
  w.control("Frame1").visible = false;
  EXPECT_EQ(w.nextFocusable("Command1", true)->name, "Command2");
  EXPECT_EQ(w.accessKeyTarget('o')->name, "Command3");
  w.control("Command3").enabled = false;
  EXPECT_EQ(w.accessKeyTarget('O'), nullptr);
}

TEST(Window, AHiddenOrDisabledFrameHidesOrDisablesItsBoxes) {
  struct Case {
    bool frameVisible, frameEnabled, boxVisible, boxEnabled, shown, enabled;
  } cases[] = {
      {true, true, true, true, true, true},
      {false, true, true, true, false, true},
      {true, false, true, true, true, false},
      {true, true, false, false, false, false},
  };
  for (const Case& c : cases) {
    Window w = DesignForm1();
    w.control("Frame1").visible = c.frameVisible;
    w.control("Frame1").enabled = c.frameEnabled;
    w.control("Check1(1)").visible = c.boxVisible;
    w.control("Check1(1)").enabled = c.boxEnabled;
    EXPECT_EQ(w.shownWithContainer(w.control("Check1(1)")), c.shown);
    EXPECT_EQ(w.enabledWithContainer(w.control("Check1(1)")), c.enabled);
    EXPECT_EQ(w.usable(w.control("Check1(1)")), c.shown && c.enabled);
  }
}

}  // namespace
}  // namespace inst
