#include "jaws/discovery.h"

#include <string>

#include "settings/conversions.h"

namespace inst::jaws {
namespace {

constexpr std::size_t kMaxCollected = 10;

Discovery stop(std::string message, MsgIcon icon, const std::string& windowTitle) {
  Discovery d;
  d.stop = true;
  d.message = std::move(message);
  d.icon = icon;
  d.title = windowTitle;
  return d;
}

constexpr int kFirstYearVersion = 2018;

bool qualifies(const std::string& name, std::int16_t startVersion, bool yearVersions) {
  const bool looksLikeVersion = name.ends_with(".0") || (yearVersions && IsYearVersionName(name));
  return looksLikeVersion && LeadingNumber(name) >= startVersion;
}

}  // namespace

bool IsYearVersionName(const std::string& name) {
  if (name.size() != 4) return false;
  for (char c : name)
    if (c < '0' || c > '9') return false;
  return std::stoi(name) >= kFirstYearVersion;
}

Discovery DiscoverVersions(FileSystem& fs, const std::string& jawsRoot, std::int16_t startVersion,
                           const std::string& windowTitle, bool yearVersions) {
  if (!fs.folderExists(jawsRoot)) return stop(kNoVersionsMessage, MsgIcon::None, windowTitle);

  std::vector<SubFolder> folders;
  if (Status s = fs.subFolders(jawsRoot, folders); !s)
    return stop(std::string(kNoVersionsMessage) + "\n" + s.path() + "\n" + s.reason(),
                MsgIcon::Exclamation, windowTitle);

  Discovery d;
  // Past the tenth, later folders are still walked but none is collected.
  for (const SubFolder& folder : folders)
    if (d.found.size() < kMaxCollected && qualifies(folder.name, startVersion, yearVersions))
      d.found.push_back(folder.name);
  if (d.found.empty()) return stop(kNoVersionsMessage, MsgIcon::Exclamation, windowTitle);
  d.versionCount = static_cast<std::int16_t>(d.found.size());

  // The last collected goes to member 0, so the newest listed versions come first.
  std::size_t shown = 0;
  for (auto it = d.found.rbegin(); it != d.found.rend() && shown < d.checkboxes.size(); ++it)
    d.checkboxes[shown++].caption = *it;
  for (std::size_t i = shown; i < d.checkboxes.size(); ++i) {
    d.checkboxes[i].enabled = false;
    d.checkboxes[i].visible = false;
  }
  return d;
}

}  // namespace inst::jaws
