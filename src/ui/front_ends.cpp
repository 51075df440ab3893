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
    FrontEndEntry{
        .name = "win32", .canRun = win32ui::CanRun, .run = win32ui::Run, .textual = false},
#endif
#ifdef INSTALADOR_HAVE_GTK
    FrontEndEntry{.name = "gtk", .canRun = gtk::CanRun, .run = gtk::Run, .textual = false},
#endif
    FrontEndEntry{.name = "headless", .canRun = Always, .run = headless::Run},
    // --silent asks for it.
    FrontEndEntry{.name = "silent", .canRun = Always, .run = silent::Run, .demandOnly = true},
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
    if (!entry.demandOnly && entry.canRun(env)) return entry;
  return *FindFrontEnd("headless");
}

}  // namespace inst::ui
