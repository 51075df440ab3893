#include "installer/remover.h"

#include "install/uninstall.h"
#include "installer/forms.h"
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

namespace inst {

void Remover::load() {
  setupIniPath_ = package::SetupIniPath(s_.packageFolder);
  if (!s_.core.fs.fileExists(setupIniPath_)) {
    message(text::kNoSetupIni, MsgIcon::Exclamation);
    host_.end(ExitStatus::StartupStop);
  }
  auto read = [&](const char* section, const char* key) {
    return ReadIniValue(s_.core.profile, section, key, setupIniPath_);
  };
  const std::string packageTitle = read(setup::kConfigurations, setup::kTitle);
  const std::int16_t startVersion =
      ToInt16(LeadingNumber(read(setup::kConfigurations, setup::kStartVersion)));
  const bool yearVersions = ToFlag(read(setup::kConfigurations, setup::kYearVersions));
  package_ = ReadPackageInfo(s_.core.profile, setupIniPath_);
  // A package without a name is taken off under the title its installer showed.
  title_ = std::string(text::kRemovalTitle) + (package_.named() ? package_.name : packageTitle);
  host_.setTitle(title_);

  jaws::Discovery found =
      jaws::DiscoverVersions(s_.core.fs, jaws::JawsRootFrom(s_.core.env.get("programfiles")),
                             startVersion, title_, yearVersions);
  for (const std::string& name : found.found) host_.event("found" + trace::Field("name", name));
  if (found.stop) {
    host_.message(found.message, found.title, found.icon);
    host_.end(ExitStatus::StartupStop);
  }
  std::array<VersionBox, form1::kChecks> offered;
  for (std::size_t i = 0; i < offered.size(); ++i) {
    const jaws::CheckboxState& box = found.checkboxes[i];
    offered[i] = {box.caption, box.visible && box.enabled && !box.caption.empty() ? 1 : 0};
  }
  const std::vector<int> holding = VersionsHolding(s_.core, s_.packageFolder, setupIniPath_,
                                                   offered, form1::kChecks, package_.recordId());
  if (holding.empty()) {
    message(text::kNotInstalled, MsgIcon::Information);
    host_.end(ExitStatus::Done);
  }

  form1_ = &host_.load(DesignForm1());
  Window& w = *form1_;
  w.caption = title_;
  w.control(form1::kFrame).caption = text::kRemovalFrame;
  LayOutForm1(w);
  w.control(form1::kInstall).caption = text::kRemove;
  w.control(form1::kExit).caption = text::kExit;
  Control& command3 = w.control(form1::kInfo);
  command3.enabled = false;
  command3.visible = false;
  holding_ = static_cast<std::int16_t>(holding.size());
  for (int i = 0; i < form1::kChecks; ++i) {
    Control& box = w.control(form1::Check(i));
    const bool used = i < holding_;
    if (used) box.caption = offered[static_cast<std::size_t>(holding[i])].caption;
    box.visible = used;
    box.enabled = used;
    box.value = used ? 1 : 0;
    if (used)
      host_.event(EventLine("offered").number("box", i).str() + trace::Field("name", box.caption));
  }
  host_.show(w, false);
}

void Remover::pressed(std::string_view window, std::string_view button) {
  if (window != form1::kName) return;
  if (button == form1::kInstall) removeClicked();
  if (button == form1::kExit) host_.end(ExitStatus::Done);
}

void Remover::closeRequest(std::string_view) {
  form1_ = nullptr;
  host_.unload(form1::kName);
  host_.end(ExitStatus::Done);
}

std::array<VersionBox, 4> Remover::boxes() const {
  return Form1Boxes(form1_);
}

void Remover::removeClicked() {
  const std::array<VersionBox, form1::kChecks> ticked = boxes();
  int sum = 0;
  for (const VersionBox& box : ticked) sum += box.value;
  if (sum == 0) {
    message(text::kNoneTickedForRemoval, MsgIcon::Exclamation);
    return;
  }
  UninstallReport report;
  const Status st = RunUninstall(s_.core, s_.packageFolder, setupIniPath_, ticked, holding_, report,
                                 package_.recordId());
  if (!st) {
    message(std::string(text::kRemovalFailed) + "\n" + st.path() + "\n" + st.reason(),
            MsgIcon::Exclamation);
    return;
  }
  std::array<VersionBox, form1::kChecks> all = ticked;
  for (std::int16_t i = 0; i < holding_; ++i) all[static_cast<std::size_t>(i)].value = 1;
  std::vector<std::string> notes;
  ForgetIfNowhere(s_.core, package_, s_.packageFolder, all, notes);
  for (const std::string& note : notes) message(note, MsgIcon::Exclamation);
  message(text::kRemovalDone, MsgIcon::None);
  host_.end(ExitStatus::Done);
}

}  // namespace inst
