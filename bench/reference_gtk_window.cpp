// The like-for-like baseline of gtk_startup.sh and orca_first_speech.sh: a plain GTK 3 program
// with the installer's main window's widgets (a titled window, a frame of checkboxes, three
// buttons with access keys) laid out by hand, and nothing else: no files read, no sound.
//   reference_gtk_window [TITLE [FRAME [CHECKBOX...]]]

#include <gtk/gtk.h>

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  const char* title = argc > 1 ? argv[1] : "Instalação do pacote";
  const char* frameCaption = argc > 2 ? argv[2] : "Versões";
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), title);
  gtk_window_set_default_size(GTK_WINDOW(window), 445, 339);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);

  GtkWidget* fixed = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(window), fixed);
  GtkWidget* frame = gtk_frame_new(frameCaption);
  gtk_widget_set_size_request(frame, 300, 200);
  gtk_fixed_put(GTK_FIXED(fixed), frame, 24, 16);
  GtkWidget* boxes = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
  gtk_container_add(GTK_CONTAINER(frame), boxes);
  for (int i = 3; i < argc || (argc <= 3 && i < 5); ++i) {
    const char* caption = i < argc ? argv[i] : (i == 3 ? "17.0" : "16.0");
    GtkWidget* box = gtk_check_button_new_with_label(caption);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(box), i == 3);
    gtk_box_pack_start(GTK_BOX(boxes), box, FALSE, FALSE, 0);
  }
  const char* buttons[] = {"Inf_ormações", "_Instalar", "_Sair"};
  for (int i = 0; i < 3; ++i) {
    GtkWidget* button = gtk_button_new_with_mnemonic(buttons[i]);
    gtk_widget_set_size_request(button, 97, 33);
    gtk_fixed_put(GTK_FIXED(fixed), button, 24 + 130 * i, 280);
  }
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
