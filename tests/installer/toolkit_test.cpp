// The installer driven two ways: by headless's own dialog rules (click, key), and by a front
// end that plays a native toolkit, which moves the focus and toggles boxes itself and reports
// what it did. Both must leave the same program behind.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>

#include "audio/fakes.h"
#include "installer/installer.h"
#include "installer/remover.h"
#include "installer/texts.h"
#include "support/jaws_sandbox.h"

namespace inst {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Holds its own copy of every shown window, as native controls would, changes in it only the
// properties it is told changed, and logs what it is told.
class ToolkitFrontEnd final : public FrontEnd {
 public:
  Host* app = nullptr;
  std::map<std::string, Window> native;
  std::vector<std::string> events;
  std::vector<Box> boxes;
  // What the user does while a modal window is open; it must unload the window or end the
  // program, or the test fails rather than hang.
  std::function<void()> whileModal;
  std::function<void(const std::string& name)> onChanged;
  WindowFrame frame{120, 405};

  WindowFrame frameOf(const Window&) const override { return frame; }
  void show(const std::string& text, const std::string& title, MsgIcon icon) override {
    boxes.push_back({text, title, icon});
    events.push_back("msgbox");
  }
  void showWindow(const Window& w, bool modal) override {
    native.insert_or_assign(w.name(), w);
    events.push_back("show " + w.name());
    if (!modal) return;
    for (int guard = 0; guard < 3 && native.count(w.name()) && !app->ended(); ++guard) whileModal();
    ASSERT_TRUE(native.count(w.name()) == 0 || app->ended()) << "the modal loop never ended";
  }
  void windowsChanged(const std::vector<WindowChange>& changes) override {
    for (const WindowChange& change : changes) {
      apply(change);
      events.push_back("changed " + change.window->name());
      if (onChanged) onChanged(change.window->name());
    }
  }
  void apply(const WindowChange& change) {
    const Window& from = *change.window;
    Window& to = native.at(from.name());
    if (change.what.has(Property::Caption)) to.caption = from.caption;
    if (change.what.has(Property::Geometry)) {
      to.left = from.left, to.top = from.top, to.width = from.width, to.height = from.height;
      to.frame = from.frame;
    }
    if (change.what.has(Property::Focus)) to.setFocus(from.focus());
    for (const ControlChange& cc : change.controls) {
      const Control& c = *cc.control;
      Control& t = to.control(c.name);
      if (cc.what.has(Property::Caption)) t.caption = c.caption;
      if (cc.what.has(Property::Text)) t.text = c.text;
      if (cc.what.has(Property::Value)) t.value = c.value;
      if (cc.what.has(Property::Enabled)) t.enabled = c.enabled;
      if (cc.what.has(Property::Visible)) t.visible = c.visible;
      if (cc.what.has(Property::Geometry)) t.left = c.left, t.top = c.top, t.width = c.width;
      if (cc.what.has(Property::Geometry)) t.height = c.height;
      if (cc.what.has(Property::TabIndex)) t.tabIndex = c.tabIndex, t.tabStop = c.tabStop;
    }
  }
  void windowUnloaded(const Window& w) override {
    native.erase(w.name());
    events.push_back("unload " + w.name());
  }
  void programEnded(ExitStatus status) override {
    events.push_back("end " + std::to_string(Code(status)));
  }

  // What the toolkit does on its own, then reports.
  void focus(const std::string& window, const std::string& control) {
    native.at(window).setFocus(control);
    app->inputFocus(window, control);
  }
  void toggle(const std::string& window, const std::string& box) {
    Control& c = native.at(window).control(box);
    c.value = c.value ? 0 : 1;
    app->inputChecked(window, box, c.value);
  }
  // A mouse click: the control takes the focus first, as on Windows and GTK.
  void click(const std::string& window, const std::string& control) {
    focus(window, control);
    if (native.at(window).control(control).kind == ControlKind::CheckBox) {
      toggle(window, control);
    } else {
      app->inputPressed(window, control);
    }
  }
};

class ThrowingProfile final : public Profile {
 public:
  explicit ThrowingProfile(Profile& inner) : inner_(inner) {}
  std::string failOn;  // a key whose read throws
  std::uint32_t getString(const std::string& section, const std::string& key,
                          const std::string& def, char* buffer, std::uint32_t size,
                          const std::string& path) override {
    if (key == failOn) throw std::runtime_error("the profile back end broke");
    return inner_.getString(section, key, def, buffer, size, path);
  }
  Status writeString(const std::string& section, const std::string& key, const std::string& value,
                     const std::string& path) override {
    return inner_.writeString(section, key, value, path);
  }
  Status removeString(const std::string& section, const std::string& key,
                      const std::string& path) override {
    return inner_.removeString(section, key, path);
  }

 private:
  Profile& inner_;
};

class ToolkitTest : public ::testing::Test {
 protected:
  ToolkitTest() {
    for (const char* version : {"16.0", "17.0"}) box.addProgram(version);
    box.populate({"enu"});
    box.write(box.exe() + "\\Info\\leiame.txt", "Linha um\r\nLinha dois");
    setup("");
    ui.app = &app;
  }
  // Setup.ini with the install's keys, the information window on, and `more` lines.
  void setup(const std::string& more) {
    box.write(box.setupIni(),
              "[Configurations]\r\ntitle=Instalador\r\nApplication=notepad\r\nScriptName=bloco\r\n"
              "ModifyScriptName=1\r\nExtras=0\r\n[Info]\r\nShowInfo=1\r\nInfoFile=leiame.txt\r\n"
              "InfoTitle=Leia-me\r\n" +
                  more);
  }
  const Window& form1() { return *app.find("Form1"); }

  testing::JawsSandbox box;
  RecordingPort port;
  ThrowingProfile profile{box.profile()};
  ToolkitFrontEnd ui;
  Session session{ui, {{box.fs(), profile, box.env(), box.sleeper()}, port, box.exe()}};
  Host& app = session.host;
};

TEST_F(ToolkitTest, FormOneOpensWithTheClientAreaOfTheDesignWhateverTheFrame) {
  app.start();
  ASSERT_EQ(ui.events, (std::vector<std::string>{"show Form1"}));
  const Window& shown = ui.native.at("Form1");
  EXPECT_EQ(shown.clientWidth(), 6680);
  EXPECT_EQ(shown.clientHeight(), 5090);
  EXPECT_EQ(shown.width, 6680 + 120);
  EXPECT_EQ(shown.left, 2032.5);  // where the load handler put it
  EXPECT_EQ(shown.focus(), "Check1(0)");
}

TEST_F(ToolkitTest, ABoxTheToolkitToggledIsToggledOnce) {
  app.start();
  ui.click("Form1", "Check1(1)");
  EXPECT_EQ(form1().control("Check1(1)").value, 1);
  EXPECT_EQ(form1().focus(), "Check1(1)");
  // The toolkit already shows all of it: nothing to bring into step.
  EXPECT_EQ(ui.events, (std::vector<std::string>{"show Form1"}));
  ui.toggle("Form1", "Check1(1)");
  EXPECT_EQ(form1().control("Check1(1)").value, 0);
}

TEST_F(ToolkitTest, WhatTheDataRefusesIsPutBackInTheToolkit) {
  app.start();
  // Only 17.0 and 16.0 are offered: Check1(2) is hidden and disabled.
  ASSERT_FALSE(form1().control("Check1(2)").visible);
  ui.toggle("Form1", "Check1(2)");
  EXPECT_EQ(form1().control("Check1(2)").value, 0);
  EXPECT_EQ(ui.native.at("Form1").control("Check1(2)").value, 0);
  EXPECT_THAT(ui.events, ElementsAre("show Form1", "changed Form1"));
  // What it was told changed, and only that, brought all of it back into step.
  EXPECT_EQ(ui.native.at("Form1"), form1());
}

TEST_F(ToolkitTest, AfterTheInformationWindowTheFocusIsOnCommandOne) {
  app.start();
  ui.whileModal = [&] {
    // Form1 takes no input while Form2 is shown.
    ui.app->inputClose("Form1");
    ui.app->inputPressed("Form1", "Command2");
    ui.focus("Form2", "Sair");
    // The toolkit's own focus was left on Command3 in Form1 when Form2 opened.
    ui.native.at("Form1").setFocus("Command3");
    ui.click("Form2", "Sair");
  };
  ui.click("Form1", "Command3");
  EXPECT_FALSE(app.ended());
  const Window* form2Shown = nullptr;
  EXPECT_EQ(app.find("Form2"), form2Shown);
  EXPECT_EQ(form1().focus(), "Command1");
  EXPECT_EQ(ui.native.at("Form1"), form1());
  // The handler's move of the focus reached the toolkit before Form2 opened, and again after.
  EXPECT_THAT(ui.events, ElementsAre("show Form1", "changed Form1", "show Form2", "unload Form2",
                                     "changed Form1"));
}

TEST_F(ToolkitTest, FormTwoShowsItsTextCaptionAndFrameAndIsCentred) {
  app.start();
  Window seen("", "", 0, 0);
  ui.whileModal = [&] {
    seen = ui.native.at("Form2");
    ui.click("Form2", "Sair");
  };
  ui.click("Form1", "Command3");
  EXPECT_EQ(seen.caption, "Leia-me");
  EXPECT_EQ(seen.control("Text1").text, "Linha um\r\nLinha dois");
  EXPECT_EQ(seen.width, 10000);  // the outer size its load handler gives
  EXPECT_EQ(seen.clientWidth(), 10000 - 120);
  EXPECT_EQ(seen.left, (1024 * 15 - 10000) / 2.0);
  EXPECT_EQ(seen.focus(), "Text1");
}

TEST_F(ToolkitTest, AnErrorInsideAModalWindowEndsTheProgramThere) {
  app.start();
  ui.whileModal = [&] {
    ui.onChanged = [](const std::string&) { throw std::runtime_error("the toolkit broke"); };
    ui.focus("Form2", "Sair");  // in step already: nothing to tell
    // The toolkit says the focus is on something Form2 does not have: it is told to put it
    // back, and fails doing so.
    ui.app->inputFocus("Form2", "Elsewhere");
  };
  ui.click("Form1", "Command3");
  EXPECT_TRUE(app.ended());
  EXPECT_EQ(app.exitStatus(), Code(ExitStatus::Unexpected));
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].icon, MsgIcon::Critical);
  EXPECT_THAT(ui.boxes[0].text, HasSubstr(kUnexpected));
  EXPECT_THAT(ui.boxes[0].text, HasSubstr("the toolkit broke"));
  // Nothing runs after the end, not the rest of the handler that opened Form2.
  const std::vector<std::string> atEnd = ui.events;
  EXPECT_EQ(atEnd.back(), "end 70");
  ui.click("Form1", "Command2");
  app.closeRequest();
  EXPECT_EQ(ui.events, atEnd);
}

TEST_F(ToolkitTest, AnErrorFromABackEndIsACriticalMessageAndAnEnd) {
  profile.failOn = "Application";
  app.start();
  ui.click("Form1", "Command1");
  EXPECT_TRUE(app.ended());
  EXPECT_EQ(app.exitStatus(), Code(ExitStatus::Unexpected));
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0], (Box{std::string(kUnexpected) + "\nthe profile back end broke",
                              "Instalador", MsgIcon::Critical}));
  EXPECT_EQ(ui.events.back(), "end 70");
  EXPECT_EQ(box.read(box.user("17.0", "enu") + "\\leitor.jss"), "<missing>");
}

// The list of installed programs as a test sees it: what was written, and a key that refuses.
class FakeList final : public ProgramList {
 public:
  bool refuse = false;
  std::map<std::string, std::vector<RegistryValue>> keys;
  std::vector<std::string> kept;
  std::string absent() const override { return ""; }
  Status writeKey(const std::string& key, const std::vector<RegistryValue>& values) override {
    if (refuse) return Status::failure(key, "Acesso negado.");
    keys[key] = values;
    return Status::success();
  }
  Status removeKey(const std::string& key) override {
    keys.erase(key);
    return Status::success();
  }
  bool keyExists(const std::string& key) override { return keys.count(key) != 0; }
  Status keepProgram(const std::string&, const std::string& path) override {
    kept.push_back(path);
    return Status::success();
  }
  Status removeProgram(const std::string& path) override {
    std::erase(kept, path);
    return Status::success();
  }
};

TEST_F(ToolkitTest, ANamedPackageIsListedAndItsUninstallWindowTakesItOffAndTheEntry) {
  setup("[Package]\r\nName=Bloco\r\n");
  Environment& env = box.env();
  static_cast<testing::FixedEnvironment&>(env).vars["localappdata"] = box.root() + "\\Local";
  const std::string key =
      "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\instalador-bloco";
  const std::string program = box.root() + "\\Local\\instalador\\bloco\\desinstalar.exe";
  for (bool refuse : {true, false}) {
    SCOPED_TRACE(refuse ? "a key that refuses" : "a key that takes the values");
    FakeList list;
    list.refuse = refuse;
    ToolkitFrontEnd installing;
    Session run(installing,
                {{box.fs(), box.profile(), env, box.sleeper(), nullptr, &list}, port, box.exe()});
    installing.app = &run.host;
    run.host.start();
    installing.click("Form1", "Command1");
    EXPECT_EQ(list.kept, std::vector<std::string>{program});
    EXPECT_EQ(installing.boxes.back().text, text::kInstallDone);
    ASSERT_EQ(installing.boxes.size(), refuse ? 2u : 1u);
    if (refuse) {
      EXPECT_EQ(installing.boxes[0].text,
                std::string(text::kRegisterFailed) + "\n" + key + "\nAcesso negado.");
      continue;
    }
    EXPECT_EQ(list.keys.at(key).at(0).text, "Bloco");

    ToolkitFrontEnd removing;
    RemovalSession removal(
        removing, {{box.fs(), box.profile(), env, box.sleeper(), nullptr, &list}, port, box.exe()});
    removing.app = &removal.host;
    removal.host.start();
    EXPECT_EQ(removing.native.at("Form1").caption, "Remoção de Bloco");
    removing.click("Form1", "Command1");
    EXPECT_EQ(removing.boxes.back().text, text::kRemovalDone);
    EXPECT_EQ(box.read(box.user("17.0", "enu") + "\\leitor.jss"), "<missing>");
    EXPECT_TRUE(list.keys.empty());
    EXPECT_TRUE(list.kept.empty());
  }
}

// The same session through either way of driving the core leaves the same program behind.
TEST_F(ToolkitTest, DialogRulesAndToolkitReportsAgree) {
  struct Way {
    const char* name;
    std::function<void(Host&, ToolkitFrontEnd&)> tickAndInstall;
  };
  const Way ways[] = {
      {"dialog rules",
       [](Host& a, ToolkitFrontEnd&) {
         a.key(Key::Tab);
         a.key(Key::Space);
         a.key(Key::Alt, 'I');
       }},
      {"toolkit",
       [](Host&, ToolkitFrontEnd& t) {
         t.focus("Form1", "Check1(1)");
         t.toggle("Form1", "Check1(1)");
         t.click("Form1", "Command1");
       }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    testing::JawsSandbox sandbox;
    for (const char* version : {"16.0", "17.0"}) sandbox.addProgram(version);
    sandbox.populate({"enu"});
    ToolkitFrontEnd toolkit;
    RecordingPort sound;
    Session run(toolkit, {{sandbox.fs(), sandbox.profile(), sandbox.env(), sandbox.sleeper()},
                          sound,
                          sandbox.exe()});
    Host& a = run.host;
    toolkit.app = &a;
    a.start();
    way.tickAndInstall(a, toolkit);
    EXPECT_EQ(a.exitStatus(), 0);
    EXPECT_TRUE(a.ended());
    ASSERT_EQ(toolkit.boxes.size(), 1u);
    EXPECT_EQ(toolkit.boxes[0].text, text::kInstallDone);
    for (const char* version : {"16.0", "17.0"})
      EXPECT_EQ(sandbox.read(sandbox.user(version, "enu") + "\\leitor.jss"), "package source");
  }
}

}  // namespace
}  // namespace inst
