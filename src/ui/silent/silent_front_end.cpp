#include "ui/silent/silent_front_end.h"

#include <algorithm>

#include "installer/texts.h"
#include "text/ascii.h"
#include "text/trim.h"

namespace inst::silent {
namespace {

using ascii::Lower;

std::string Trim(std::string_view s) {
  return inst::Trim(s, kSpacesAndTabs);
}

// A name as a message quotes it: a value of thousands of characters is cut.
std::string Shown(const std::string& name) {
  constexpr std::size_t kMax = 40;
  return name.size() <= kMax ? name : name.substr(0, kMax) + "...";
}

}  // namespace

Choice ChooseVersions(const std::string& value,
                      const std::vector<std::pair<int, std::string>>& offered,
                      const std::vector<int>& ticked) {
  Choice choice;
  if (Trim(value).empty()) {
    choice.boxes = ticked;
    return choice;
  }
  if (Lower(Trim(value)) == "all") {
    for (const auto& [box, name] : offered) choice.boxes.push_back(box);
    return choice;
  }
  std::size_t start = 0;
  while (start <= value.size()) {
    const std::size_t comma = std::min(value.find(',', start), value.size());
    const std::string name = Trim(value.substr(start, comma - start));
    start = comma + 1;
    if (name.empty()) continue;
    auto match = std::find_if(offered.begin(), offered.end(),
                              [&](const auto& o) { return Lower(o.second) == Lower(name); });
    if (match == offered.end()) {
      choice.unknown = name;
      choice.boxes.clear();
      return choice;
    }
    if (std::find(choice.boxes.begin(), choice.boxes.end(), match->first) == choice.boxes.end())
      choice.boxes.push_back(match->first);
  }
  std::sort(choice.boxes.begin(), choice.boxes.end());
  return choice;
}

void SilentFrontEnd::show(const std::string& text, const std::string&, MsgIcon) {
  note(text);
}

void SilentFrontEnd::note(const std::string& text) {
  std::fputs((text + "\n").c_str(), err_);
  std::fflush(err_);
}

void SilentFrontEnd::showWindow(const Window& window, bool modal) {
  // Nothing here opens a modal window; if one ever opens, it closes at once rather than wait
  // for a user who is not there.
  if (modal && app_) app_->inputClose(window.name());
}

int SilentFrontEnd::run(Host& host, Installer& installer, const std::string& versions,
                        bool uninstall) {
  app_ = &host;
  host.start();
  if (host.ended()) return host.exitStatus();

  const std::vector<std::pair<int, std::string>> offered = installer.offered();
  const Choice choice = ChooseVersions(versions, offered, installer.ticked());
  if (!choice.unknown.empty() || choice.boxes.empty()) {
    std::string names;
    for (const auto& [box, name] : offered) names += (names.empty() ? "" : ", ") + name;
    const std::string message = "instalador: a versão \"" + Shown(choice.unknown) +
                                "\" do JAWS não é oferecida; versões oferecidas: " + names + "\n";
    std::fputs(message.c_str(), err_);
    host.stop(ExitStatus::NotOffered);
    return host.exitStatus();
  }
  for (const auto& [box, name] : offered)
    installer.tick(box,
                   std::find(choice.boxes.begin(), choice.boxes.end(), box) != choice.boxes.end());
  if (uninstall) {
    UninstallReport report;
    const Status st = installer.uninstall(report);
    for (const std::string& line : report.notes) note(line);
    if (!st) {
      note(std::string(text::kUninstallFailed) + "\n" + st.path() + "\n" + st.reason());
    } else {
      note(report.found ? text::kUninstallDone : text::kNothingToUninstall);
    }
    host.stop(st ? ExitStatus::Done : ExitStatus::Failed);
    return host.exitStatus();
  }
  installer.install();
  if (host.ended()) return host.exitStatus();
  // The installation stopped part way and told why; the window would now wait for the user.
  host.stop(ExitStatus::Failed);
  return host.exitStatus();
}

}  // namespace inst::silent
