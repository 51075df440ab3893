#pragma once

#include <gtk/gtk.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "app/front_end.h"
#include "app/host.h"

namespace inst::gtk {

// The windows as native GTK 3 widgets. GTK does the keyboard work (focus, mnemonics, toggling)
// and every change it makes is reported to the application; after each handler the widgets
// are brought back into step with the data, which stays the one record.
class GtkFrontEnd final : public FrontEnd {
 public:
  GtkFrontEnd();
  ~GtkFrontEnd() override;
  GtkFrontEnd(const GtkFrontEnd&) = delete;
  GtkFrontEnd& operator=(const GtkFrontEnd&) = delete;

  // Starts the program and runs GTK's main loop until it ends; the exit status.
  int run(Host& host);

  void show(const std::string& text, const std::string& title, MsgIcon icon) override;
  WindowFrame frameOf(const Window& window) const override;
  ScreenArea screen() const override;
  void showWindow(const Window& window, bool modal) override;
  void windowsChanged(const std::vector<WindowChange>& changes) override;
  void windowUnloaded(const Window& window) override;
  void programEnded(ExitStatus status) override;

  struct NativeControl;
  struct NativeWindow;

 private:
  NativeWindow& build(const Window& window);
  NativeWindow* native(const std::string& name);
  // The window and control a widget of ours belongs to; both null when none.
  std::pair<NativeWindow*, NativeControl*> owner(const GtkWidget* widget);
  GtkWindow* activeNativeWindow();
  // Whether the program has ended, or no program runs: nothing is reported or shown then.
  bool over() const { return app_ == nullptr || app_->ended(); }
  void apply(NativeWindow& n, const WindowChange& change);
  void applyControl(NativeWindow& n, NativeControl& nc, const Control& c, Changed what);
  void applyFocus(NativeWindow& n, const Window& w);
  void destroy(NativeWindow& n);
  void nameApplication();

  // Reports reach the application in the order the toolkit made them, each from an idle
  // callback: a handler that opens a modal box then runs outside the signal that caused it,
  // so a click that came from a screen reader's action returns first.
  void post(std::function<void()> report);
  void schedule();
  static gboolean drainOne(gpointer self);
  static gboolean startUp(gpointer self);
  template <class F>
  std::invoke_result_t<F> guarded(F&& f) noexcept;
  void failed(const char* what) noexcept;

  // Signal handlers.
  static gboolean onKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer data);
  static gboolean onDelete(GtkWidget* widget, GdkEvent* event, gpointer data);
  static void onSetFocus(GtkWindow* window, GtkWidget* widget, gpointer data);
  static void onToggled(GtkToggleButton* button, gpointer data);
  static void onClicked(GtkButton* button, gpointer data);
  static gboolean onFrameMnemonic(GtkWidget* label, gboolean cycling, gpointer data);
  static void onFrameAllocated(GtkWidget* inner, GdkRectangle* allocation, gpointer data);
  void placeFrameChildren(NativeWindow& n, NativeControl& frame);

  Host* app_ = nullptr;
  std::vector<std::unique_ptr<NativeWindow>> windows_;
  std::deque<std::function<void()>> reports_;
  guint starting_ = 0;
  guint idle_ = 0;
  guint placing_ = 0;
  int boxesOpen_ = 0;
  // Set while the widgets are being brought into step: what GTK then signals is our own doing,
  // not the user's, and is not reported back.
  bool syncing_ = false;
  bool named_ = false;
  GtkCssProvider* textCss_ = nullptr;
};

}  // namespace inst::gtk
