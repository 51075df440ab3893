// The GTK front end's module: everything that needs GTK, loaded by the executable only when
// this front end runs.

#include <gtk/gtk.h>

#include <cstdio>
#include <memory>

#include "cli/exit_status.h"
#include "installer/installer.h"
#include "installer/remover.h"
#include "ui/front_ends.h"
#include "ui/gtk/gtk_front_end.h"

extern "C" __attribute__((visibility("default"))) int instalador_gtk_run(
    inst::ui::Services* services) {
  inst::ui::Services& s = *services;
  g_set_prgname("instalador");
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fprintf(stderr, "instalador: não foi possível abrir a tela\n");
    return inst::Code(inst::ExitStatus::Usage);
  }
  std::unique_ptr<inst::MciPort> sound = s.sound("sdl");
  inst::gtk::GtkFrontEnd ui;
  if (s.uninstall) {
    inst::RemovalSession session(ui, {s.core, *sound, s.packageFolder, false, s.started});
    return ui.run(session.host);
  }
  inst::Session session(ui, {s.core, *sound, s.packageFolder, true, s.started});
  return ui.run(session.host);
}
