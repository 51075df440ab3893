#include "app/changes.h"

namespace inst {
namespace {

Changed CompareControls(const Control& seen, const Control& now) {
  Changed what;
  if (seen.caption != now.caption) what.add(Property::Caption);
  if (seen.text != now.text) what.add(Property::Text);
  if (seen.value != now.value) what.add(Property::Value);
  if (seen.enabled != now.enabled) what.add(Property::Enabled);
  if (seen.visible != now.visible) what.add(Property::Visible);
  if (seen.left != now.left || seen.top != now.top || seen.width != now.width ||
      seen.height != now.height)
    what.add(Property::Geometry);
  if (seen.tabIndex != now.tabIndex || seen.tabStop != now.tabStop) what.add(Property::TabIndex);
  return what;
}

}  // namespace

WindowChange Compare(const Window& seen, const Window& now) {
  WindowChange change;
  change.window = &now;
  if (seen.caption != now.caption) change.what.add(Property::Caption);
  if (seen.left != now.left || seen.top != now.top || seen.width != now.width ||
      seen.height != now.height || seen.frame != now.frame)
    change.what.add(Property::Geometry);
  if (seen.focus() != now.focus()) change.what.add(Property::Focus);

  std::vector<Changed> each;
  each.reserve(now.controls().size());
  for (const Control& c : now.controls()) {
    const Control* before = seen.find(c.name);
    each.push_back(before ? CompareControls(*before, c) : Changed::All());
  }
  constexpr unsigned kInherited = static_cast<unsigned>(Property::Geometry) |
                                  static_cast<unsigned>(Property::Enabled) |
                                  static_cast<unsigned>(Property::Visible);
  const std::vector<Control>& controls = now.controls();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].container.empty()) continue;
    for (std::size_t k = 0; k < controls.size(); ++k)
      if (controls[k].name == controls[i].container) each[i].bits |= each[k].bits & kInherited;
  }
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (!each[i].any()) continue;
    if (each[i].has(Property::TabIndex)) change.what.add(Property::TabIndex);
    change.controls.push_back({&controls[i], each[i]});
  }
  return change;
}

WindowChange Everything(const Window& window) {
  WindowChange change{&window, Changed::All(), {}};
  for (const Control& c : window.controls()) change.controls.push_back({&c, Changed::All()});
  return change;
}

}  // namespace inst
