#include "ui/silent/silent_front_end.h"

#include <algorithm>
#include <cctype>

#include "app/forms.h"

namespace inst::silent {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
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
  std::fputs((text + "\n").c_str(), err_);
  std::fflush(err_);
}

void SilentFrontEnd::showWindow(const Window& window, bool modal) {
  // Nothing here opens a modal window; if one ever opens, it closes at once rather than wait
  // for a user who is not there.
  if (modal && app_) app_->inputClose(window.name());
}

int SilentFrontEnd::run(Application& app, const std::string& versions) {
  app_ = &app;
  app.start();
  if (app.ended()) return app.exitStatus();

  Window& form1 = app.form1();
  std::vector<std::pair<int, std::string>> offered;
  std::vector<int> ticked;
  for (int i = 0; i < 4; ++i) {
    const Control& box = form1.control(Check1(i));
    if (!box.visible || !box.enabled) continue;
    offered.emplace_back(i, box.caption);
    if (box.value != 0) ticked.push_back(i);
  }
  const Choice choice = ChooseVersions(versions, offered, ticked);
  if (!choice.unknown.empty() || choice.boxes.empty()) {
    std::string names;
    for (const auto& [box, name] : offered) names += (names.empty() ? "" : ", ") + name;
    const std::string message = "instalador: a versão \"" + Shown(choice.unknown) +
                                "\" do JAWS não é oferecida; versões oferecidas: " + names + "\n";
    std::fputs(message.c_str(), err_);
    app.stop(kStatusNotOffered);
    return kStatusNotOffered;
  }
  for (int i = 0; i < 4; ++i) {
    const bool wanted =
        std::find(choice.boxes.begin(), choice.boxes.end(), i) != choice.boxes.end();
    if ((form1.control(Check1(i)).value != 0) != wanted)
      app.inputChecked(form1.name(), Check1(i), wanted ? 1 : 0);
  }
  app.inputPressed(form1.name(), "Command1");
  if (app.ended()) return app.exitStatus();
  // The installation stopped part way and told why; the window would now wait for the user.
  app.stop(kStatusFailed);
  return kStatusFailed;
}

}  // namespace inst::silent
