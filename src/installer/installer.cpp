#include "installer/installer.h"

#include <array>

#include "install/install.h"
#include "install/program_entry.h"
#include "installer/forms.h"
#include "installer/info_window.h"
#include "installer/names.h"
#include "installer/package_holders.h"
#include "installer/texts.h"
#include "jaws/discovery.h"
#include "jaws/layout.h"
#include "package/layout.h"
#include "settings/conversions.h"
#include "settings/ini_access.h"
#include "settings/setup_keys.h"
#include "text/event_line.h"
#include "trace/logged_services.h"
#include "undo/keeper.h"

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

  package_ = ReadPackageInfo(s_.core.profile, setupIniPath_);

  using form1::Check;
  Window& w = *form1_;
  Control& command3 = w.control(form1::kInfo);
  w.caption = windowTitle_;
  w.control(form1::kFrame).caption = frameCaption;
  LayOutForm1(w);
  if (!showInfo) {
    command3.enabled = false;
    command3.visible = false;
  }
  w.control(form1::kInstall).caption = text::kInstall;
  w.control(form1::kExit).caption = text::kExit;
  command3.caption = text::kInfo;
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

std::array<VersionBox, 4> Installer::boxes() const {
  return Form1Boxes(form1_);
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
                             &withoutLanguage, s_.started, package_.recordId());
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
  // The installation is done whatever happens to its entry in the list of installed programs;
  // the user hears that the entry is missing, then the outcome.
  std::size_t chosen = 0;
  for (std::int16_t i = 0; i < versionCount_ && i < form1::kChecks; ++i)
    chosen += boxes[static_cast<std::size_t>(i)].value != 0 ? 1 : 0;
  if (chosen > withoutLanguage.size()) {
    const std::string date = (s_.started.empty() ? undo::StampNow() : s_.started).substr(0, 8);
    if (Status st = RegisterPackage(s_.core, package_, s_.packageFolder, date); !st)
      message(std::string(text::kRegisterFailed) + "\n" + st.path() + "\n" + st.reason(),
              MsgIcon::Exclamation);
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
  Status st = RunUninstall(s_.core, s_.packageFolder, setupIniPath_, boxes(), versionCount_, report,
                           package_.recordId());
  if (st) ForgetIfNowhere(s_.core, package_, s_.packageFolder, offeredBoxes(), report.notes);
  return st;
}

std::array<VersionBox, form1::kChecks> Installer::offeredBoxes() const {
  std::array<VersionBox, form1::kChecks> all = boxes();
  for (VersionBox& box : all) box.value = 0;
  for (const auto& [box, name] : offered()) all[static_cast<std::size_t>(box)].value = 1;
  return all;
}

}  // namespace inst
