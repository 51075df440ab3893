#include "ui/front_ends.h"

#include <array>

#include "ui/headless/entry.h"
#include "ui/silent/entry.h"
#ifdef _WIN32
#include "ui/win32/entry.h"
#endif
#ifdef INSTALADOR_HAVE_GTK
#include "ui/gtk/entry.h"
#endif

namespace inst::ui {
namespace {

bool Always(const Environment&) {
  return true;
}

constexpr std::array kFrontEnds{
#ifdef _WIN32
    FrontEndEntry{"win32", win32ui::CanRun, win32ui::Run},
#endif
#ifdef INSTALADOR_HAVE_GTK
    FrontEndEntry{"gtk", gtk::CanRun, gtk::Run},
#endif
    FrontEndEntry{"headless", Always, headless::Run},
    // Never the default: only --silent asks for it.
    FrontEndEntry{"silent", Always, silent::Run},
};

}  // namespace

std::span<const FrontEndEntry> FrontEnds() {
  return kFrontEnds;
}

const FrontEndEntry* FindFrontEnd(std::string_view name) {
  for (const FrontEndEntry& entry : kFrontEnds)
    if (entry.name == name) return &entry;
  return nullptr;
}

const FrontEndEntry& DefaultFrontEnd(const Environment& env) {
  for (const FrontEndEntry& entry : kFrontEnds)
    if (entry.canRun(env)) return entry;
  return *FindFrontEnd("headless");
}

}  // namespace inst::ui
