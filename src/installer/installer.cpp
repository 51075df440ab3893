#include "installer/installer.h"

#include <array>

#include "install/install.h"
#include "installer/forms.h"
#include "installer/info_window.h"
#include "installer/names.h"
#include "installer/texts.h"
#include "jaws/discovery.h"
#include "jaws/layout.h"
#include "package/layout.h"
#include "settings/conversions.h"
#include "settings/ini_access.h"
#include "settings/setup_keys.h"
#include "text/event_line.h"
#include "trace/logged_services.h"

namespace inst {

Installer::Installer(Host& host, InstallerServices services)
    : host_(host), s_(std::move(services)) {}

Installer::~Installer() = default;

std::string Installer::read(const char* section, const char* key) {
  return ReadIniValue(s_.core.profile, section, key, setupIniPath_);
}

void Installer::message(const std::string& text, MsgIcon icon) {
  host_.message(text, windowTitle_, icon);
}

void Installer::load() {
  form1_ = &host_.load(DesignForm1());
  loadForm1();
  host_.show(*form1_, false);
}

void Installer::loadForm1() {
  player_ = std::make_unique<mci>(s_.mciPort, s_.core.fs, host_.boxes(),
                                  [this] { return host_.title(); });
  setupIniPath_ = package::SetupIniPath(s_.packageFolder);

  windowTitle_ = read(setup::kConfigurations, setup::kTitle);
  const std::string frameCaption = read(setup::kConfigurations, setup::kFrameTitle);
  startVersion_ = ToInt16(LeadingNumber(read(setup::kConfigurations, setup::kStartVersion)));
  const bool yearVersions = ToFlag(read(setup::kConfigurations, setup::kYearVersions));
  soundFileName_ = read(setup::kSound, setup::kSoundFile);
  const bool playSound = ToFlag(read(setup::kSound, setup::kPlaySound));
  playModeSetting_ = ToInt16(LeadingNumber(read(setup::kSound, setup::kPlayMode)));
  const double volume = LeadingNumber(read(setup::kSound, setup::kVolume));
  const bool showInfo = ToFlag(read(setup::kInfo, setup::kShowInfo));

  using form1::Check;
  Window& w = *form1_;
  Control& command1 = w.control(form1::kInstall);
  Control& command2 = w.control(form1::kExit);
  Control& command3 = w.control(form1::kInfo);
  w.caption = windowTitle_;
  w.control(form1::kFrame).caption = frameCaption;
  w.width = w.width + 2000;
  w.height = w.height + 2000;
  if (!showInfo) {
    command3.enabled = false;
    command3.visible = false;
  }
  command1.caption = text::kInstall;
  command2.caption = text::kExit;
  command3.caption = text::kInfo;
  command3.top = command1.top;
  command2.top = command1.top;
  const float x = static_cast<float>(command3.width) + static_cast<float>(command3.left);
  w.left = (static_cast<float>(command2.left) - x) / 2;
  // The handler places the window itself, and it opens where it was put.
  w.position = WindowPosition::Manual;
  command1.left = static_cast<float>(x + w.left - command2.width / 2);
  w.setTabIndex(form1::kFrame, 0);
  for (int i = 0; i < form1::kChecks; ++i) w.setTabIndex(Check(i), i + 1);
  w.top = 480;
  for (int i = 1; i <= 3; ++i) {
    Control& box = w.control(Check(i));
    box.left = 360;
    box.top = w.top + 600 * i;
  }
  w.setTabIndex(form1::kInstall, 6);
  w.setTabIndex(form1::kInfo, 5);
  w.setTabIndex(form1::kExit, 7);
  w.cancelButton = std::string(form1::kExit);
  w.control(Check(0)).value = 1;
  host_.setTitle(windowTitle_);
  jawsRoot_ = jaws::JawsRootFrom(s_.core.env.get("programfiles"));

  if (!s_.core.fs.fileExists(setupIniPath_)) {
    message(text::kNoSetupIni, MsgIcon::Exclamation);
    host_.end(ExitStatus::StartupStop);
  }

  jaws::Discovery found =
      jaws::DiscoverVersions(s_.core.fs, jawsRoot_, startVersion_, windowTitle_, yearVersions);
  versionCount_ = found.versionCount;
  for (const std::string& name : found.found) host_.event("found" + trace::Field("name", name));
  if (found.stop) {
    host_.message(found.message, found.title, found.icon);
    host_.end(ExitStatus::StartupStop);
  }
  for (int i = 0; i < form1::kChecks; ++i) {
    const jaws::CheckboxState& state = found.checkboxes[static_cast<std::size_t>(i)];
    Control& box = w.control(Check(i));
    if (!state.caption.empty()) box.caption = state.caption;
    box.enabled = state.enabled;
    box.visible = state.visible;
    if (!state.caption.empty())
      host_.event(EventLine("offered").number("box", i).str() +
                  trace::Field("name", state.caption));
  }

  startWelcomeSound(playSound, volume);
}

void Installer::startWelcomeSound(bool playSound, double volume) {
  if (!playSound || !s_.welcomeSound) return;
  player_->FileName(package::SoundPath(s_.packageFolder, soundFileName_));
  host_.throwIfEnded();
  player_->OpenFile();
  player_->PlayMode(playModeSetting_);
  host_.throwIfEnded();
  player_->volume(RoundHalfEven(volume));
  host_.throwIfEnded();
  player_->Play();
}

void Installer::pressed(std::string_view window, std::string_view button) {
  if (window == form1::kName) {
    if (button == form1::kInstall) installClicked();
    if (button == form1::kExit) exitSequence(ExitStatus::Done);
    if (button == form1::kInfo) infoClicked();
  } else if (window == form2::kName && button == form2::kExit) {
    unloadForm2();
  }
}

void Installer::closeRequest(std::string_view window) {
  if (window == form2::kName) {
    unloadForm2();
  } else {
    form1CloseRequest();
  }
}

void Installer::stop(ExitStatus status) {
  exitSequence(status);
}

std::array<VersionBox, form1::kChecks> Installer::boxes() const {
  std::array<VersionBox, form1::kChecks> out;
  for (int i = 0; i < form1::kChecks && form1_ != nullptr; ++i) {
    const Control& box = form1_->control(form1::Check(i));
    out[static_cast<std::size_t>(i)] = VersionBox{box.caption, box.value};
  }
  return out;
}

void Installer::installClicked() {
  const std::array<VersionBox, form1::kChecks> boxes = this->boxes();
  int sum = 0;
  for (const VersionBox& box : boxes) sum += box.value;
  if (sum == 0) {
    message(text::kNoneTicked, MsgIcon::Exclamation);
    return;
  }
  std::vector<VersionWithoutLanguage> withoutLanguage;
  Status result = RunInstall(s_.core, s_.packageFolder, setupIniPath_, boxes, versionCount_,
                             &withoutLanguage, s_.started);
  if (s_.noLanguageFolder) {
    for (const VersionWithoutLanguage& v : withoutLanguage)
      s_.noLanguageFolder("instalador: a versão " + v.version +
                          " do JAWS não tem pasta de idioma (ENU, PTB ou PTG) em " + v.folder +
                          "; nada foi instalado nela. O JAWS precisa ser iniciado uma vez por "
                          "este usuário antes da instalação.");
  }
  if (!result) {
    message(std::string(text::kInstallFailed) + "\n" + result.path() + "\n" + result.reason() +
                (result.note().empty() ? "" : "\n" + result.note()),
            MsgIcon::Exclamation);
    return;
  }
  message(text::kInstallDone, MsgIcon::None);
  exitSequence(s_.noLanguageFolder && !withoutLanguage.empty() ? ExitStatus::NoLanguageFolder
                                                               : ExitStatus::Done);
}

void Installer::exitSequence(ExitStatus status) {
  if (player_) player_->CloseFile();
  player_.reset();
  host_.end(status);
}

void Installer::form1CloseRequest() {
  if (player_) player_->CloseFile();
  player_.reset();
  form1_ = nullptr;
  host_.unload(form1::kName);
  host_.end(ExitStatus::Done);
}

Window& Installer::loadedForm2() {
  if (form2_ == nullptr) {
    form2_ = &host_.load(DesignForm2());
    LoadForm2(*form2_, s_.core.profile, s_.packageFolder);
  }
  return *form2_;
}

void Installer::infoClicked() {
  form1_->setFocus(form1::kInstall);
  const std::string fileName = read(setup::kInfo, setup::kInfoFile);
  LoadInfoFile(s_.core.fs, s_.packageFolder, fileName,
               [this]() -> Window& { return loadedForm2(); });
  host_.show(loadedForm2(), true);
}

void Installer::unloadForm2() {
  if (form2_ == nullptr) return;
  form2_ = nullptr;
  host_.unload(form2::kName);
}

// --- without windows ------------------------------------------------------------------------

std::vector<std::pair<int, std::string>> Installer::offered() const {
  std::vector<std::pair<int, std::string>> versions;
  if (form1_ == nullptr) return versions;
  for (int i = 0; i < form1::kChecks; ++i) {
    const Control& box = form1_->control(form1::Check(i));
    if (box.visible && box.enabled) versions.emplace_back(i, box.caption);
  }
  return versions;
}

std::vector<int> Installer::ticked() const {
  std::vector<int> boxes;
  for (const auto& [box, name] : offered())
    if (form1_->control(form1::Check(box)).value != 0) boxes.push_back(box);
  return boxes;
}

void Installer::tick(int box, bool ticked) {
  if (form1_ == nullptr) return;
  if ((form1_->control(form1::Check(box)).value != 0) != ticked)
    host_.inputChecked(form1::kName, form1::Check(box), ticked ? 1 : 0);
}

void Installer::install() {
  host_.inputPressed(form1::kName, form1::kInstall);
}

Status Installer::uninstall(UninstallReport& report) {
  return RunUninstall(s_.core, s_.packageFolder, setupIniPath_, boxes(), versionCount_, report);
}

}  // namespace inst
