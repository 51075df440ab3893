#include "app/window.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <utility>

#include "text/ascii.h"

namespace inst {

Window::Window(std::string name, std::string caption_, double width_, double height_)
    : caption(std::move(caption_)), width(width_), height(height_), name_(std::move(name)) {}

void Window::addFrame(WindowFrame platformFrame) {
  width += platformFrame.width - frame.width;
  height += platformFrame.height - frame.height;
  frame = platformFrame;
}

Control& Window::add(Control control) {
  controls_.push_back(std::move(control));
  return controls_.back();
}

Control* Window::find(std::string_view name) {
  for (Control& c : controls_)
    if (c.name == name) return &c;
  return nullptr;
}

const Control* Window::find(std::string_view name) const {
  for (const Control& c : controls_)
    if (c.name == name) return &c;
  return nullptr;
}

namespace {

// A handler asked for a control its window does not have: a fault of ours.
class NoSuchControl final : public std::exception {
 public:
  explicit NoSuchControl(std::string what) : what_(std::move(what)) {}
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::string what_;
};

}  // namespace

Control& Window::control(std::string_view name) {
  if (Control* c = find(name)) return *c;
  throw NoSuchControl("no control " + std::string(name) + " on " + name_);
}

const Control& Window::control(std::string_view name) const {
  return const_cast<Window*>(this)->control(name);
}

std::vector<const Control*> Window::tabOrder() const {
  std::vector<const Control*> order;
  for (const Control& c : controls_) order.push_back(&c);
  std::stable_sort(order.begin(), order.end(),
                   [](const Control* a, const Control* b) { return a->tabIndex < b->tabIndex; });
  return order;
}

void Window::setTabIndex(std::string_view name, int index) {
  std::vector<const Control*> order = tabOrder();
  Control& moved = control(name);
  order.erase(std::find(order.begin(), order.end(), &moved));
  auto at = static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(order.size())));
  order.insert(order.begin() + static_cast<std::ptrdiff_t>(at), &moved);
  for (std::size_t i = 0; i < order.size(); ++i)
    const_cast<Control*>(order[i])->tabIndex = static_cast<int>(i);
}

void Window::setFocus(std::string_view name) {
  focus_ = std::string(name);
}

bool Window::shownWithContainer(const Control& c) const {
  if (!c.visible) return false;
  const Control* parent = c.container.empty() ? nullptr : find(c.container);
  return parent == nullptr || shownWithContainer(*parent);
}

bool Window::enabledWithContainer(const Control& c) const {
  if (!c.enabled) return false;
  const Control* parent = c.container.empty() ? nullptr : find(c.container);
  return parent == nullptr || enabledWithContainer(*parent);
}

bool Window::canFocus(const Control& c) const {
  return c.kind != ControlKind::Frame && c.tabStop && usable(c);
}

const Control* Window::nextFocusable(std::string_view after, bool forward) const {
  std::vector<const Control*> order = tabOrder();
  if (!forward) std::reverse(order.begin(), order.end());
  std::size_t n = order.size();
  std::size_t start = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (order[i]->name == after) {
      start = i + 1;
      break;
    }
  }
  for (std::size_t k = 0; k < n; ++k) {
    const Control* c = order[(start + k) % n];
    if (canFocus(*c)) return c;
  }
  return nullptr;
}

char AccessKey(std::string_view caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return ascii::ToUpper(caption[i + 1]);
  }
  return 0;
}

const Control* Window::accessKeyTarget(char letter) const {
  const char wanted = ascii::ToUpper(letter);
  for (const Control* c : tabOrder()) {
    if (c->kind == ControlKind::TextBox || !usable(*c)) continue;
    if (AccessKey(c->caption) == wanted) return c;
  }
  return nullptr;
}

}  // namespace inst
