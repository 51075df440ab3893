#include "installer/package_holders.h"

#include "install/program_entry.h"
#include "install/uninstall.h"
#include "installer/texts.h"
#include "package/layout.h"
#include "trace/dry_run.h"

namespace inst {
namespace {

class Discard final : public EventSink {
 public:
  void event(const std::string&) override {}
};

}  // namespace

std::vector<int> VersionsHolding(Services s, const std::string& packageFolder,
                                 const std::string& setupIniPath,
                                 const std::array<VersionBox, 4>& boxes, std::int16_t versionCount,
                                 const std::string& packageId) {
  std::vector<int> holding;
  for (std::size_t i = 0; i < boxes.size() && static_cast<std::int16_t>(i) < versionCount; ++i) {
    if (boxes[i].value == 0) continue;
    std::array<VersionBox, 4> one = boxes;
    for (std::size_t j = 0; j < one.size(); ++j) one[j].value = j == i ? 1 : 0;
    Discard plan;
    trace::DryRun dry(s.fs, s.profile, plan);
    UninstallReport report;
    const Services planned{dry.fs(), dry.profile(), s.env, s.sleeper};
    if (RunUninstall(planned, packageFolder, setupIniPath, one, versionCount, report, packageId) &&
        report.found)
      holding.push_back(static_cast<int>(i));
  }
  return holding;
}

void ForgetIfNowhere(Services s, const PackageInfo& info, const std::string& packageFolder,
                     const std::array<VersionBox, 4>& boxes, std::vector<std::string>& notes) {
  if (!info.named()) return;
  const std::int16_t count = static_cast<std::int16_t>(boxes.size());
  if (!VersionsHolding(s, packageFolder, package::SetupIniPath(packageFolder), boxes, count,
                       info.recordId())
           .empty())
    return;
  if (Status st = ForgetPackage(s, info); !st)
    notes.push_back(text::kForgetFailed + st.path() + ": " + st.reason());
}

}  // namespace inst
