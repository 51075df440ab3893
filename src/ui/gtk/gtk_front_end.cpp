#include "ui/gtk/gtk_front_end.h"

#include <algorithm>
#include <cstdio>

#include "ui/gtk/captions.h"

namespace inst::gtk {

struct GtkFrontEnd::NativeControl {
  std::string name;
  ControlKind kind = ControlKind::Button;
  std::string container;
  GtkWidget* widget = nullptr;     // what is placed: the scrolled window around a text view
  GtkWidget* focusable = nullptr;  // what takes the focus: the text view itself
  GtkWidget* label = nullptr;      // a frame's caption
  GtkWidget* inner = nullptr;      // a frame's own layout, where its controls lie
  int innerX = 0, innerY = 0;      // where that layout lies inside the frame, in pixels
};

struct GtkFrontEnd::NativeWindow {
  std::string name;
  const Window* data = nullptr;
  GtkWidget* window = nullptr;
  GtkWidget* layout = nullptr;
  std::vector<NativeControl> controls;
  GMainLoop* loop = nullptr;  // while shown modally

  NativeControl* find(const std::string& control) {
    for (NativeControl& c : controls)
      if (c.name == control) return &c;
    return nullptr;
  }
  NativeControl* byWidget(const GtkWidget* widget) {
    for (NativeControl& c : controls)
      if (c.widget == widget || c.focusable == widget) return &c;
    return nullptr;
  }
};

namespace {

constexpr const char* kTextCss =
    "textview { font-family: Arial; font-size: 8.25pt; }\n"
    "textview text { background-color: @theme_bg_color; }\n";

GtkMessageType MessageType(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::None:
      return GTK_MESSAGE_OTHER;
    case MsgIcon::Exclamation:
      return GTK_MESSAGE_WARNING;
    case MsgIcon::Information:
      return GTK_MESSAGE_INFO;
    case MsgIcon::Critical:
      return GTK_MESSAGE_ERROR;
    case MsgIcon::Question:
      return GTK_MESSAGE_QUESTION;
  }
  return GTK_MESSAGE_OTHER;
}

bool IsEnter(guint key) {
  return key == GDK_KEY_Return || key == GDK_KEY_KP_Enter || key == GDK_KEY_ISO_Enter;
}

}  // namespace

GtkFrontEnd::GtkFrontEnd() : textCss_(gtk_css_provider_new()) {
  gtk_css_provider_load_from_data(textCss_, kTextCss, -1, nullptr);
}

GtkFrontEnd::~GtkFrontEnd() {
  if (starting_ != 0) g_source_remove(starting_);
  if (idle_ != 0) g_source_remove(idle_);
  if (placing_ != 0) g_source_remove(placing_);
  for (auto& n : windows_) destroy(*n);
  g_object_unref(textCss_);
}

int GtkFrontEnd::run(Host& host) {
  app_ = &host;
  // The accessibility bridge registers the program with the screen reader's registry in the
  // main loop's first idle turn. A window mapped before that can be activated by the window
  // manager first, and that activation is never sent: the screen reader stays silent at
  // start. So the start-up runs from the loop, after the bridge's turn.
  starting_ = g_idle_add_full(G_PRIORITY_LOW, &GtkFrontEnd::startUp, this, nullptr);
  gtk_main();
  app_ = nullptr;
  return host.exitStatus();
}

gboolean GtkFrontEnd::startUp(gpointer data) {
  auto* self = static_cast<GtkFrontEnd*>(data);
  self->starting_ = 0;
  self->app_->start();
  return G_SOURCE_REMOVE;
}

// GTK sizes a window by its client area; the window manager draws its border and title bar
// outside it, where the program neither sees nor sets them. So the frame this front end draws
// is none, and the outer size the handlers read is the client area GTK is given: Form1 opens
// with 6680 x 5090 twips inside the window manager's decorations, as designed.
WindowFrame GtkFrontEnd::frameOf(const Window& /*window*/) const {
  return {};
}

ScreenArea GtkFrontEnd::screen() const {
  ScreenArea area;
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr) return area;
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0)
    monitor = gdk_display_get_monitor(display, 0);
  if (monitor == nullptr) return area;
  GdkRectangle r;
  gdk_monitor_get_workarea(monitor, &r);
  area.left = r.x * kTwipsPerPixel;
  area.top = r.y * kTwipsPerPixel;
  area.width = r.width * kTwipsPerPixel;
  area.height = r.height * kTwipsPerPixel;
  return area;
}

void GtkFrontEnd::nameApplication() {
  if (named_ || app_ == nullptr) return;
  named_ = true;
  const std::string& title = app_->title();
  if (!title.empty()) g_set_application_name(ValidUtf8(title).c_str());
}

GtkFrontEnd::NativeWindow* GtkFrontEnd::native(const std::string& name) {
  for (auto& n : windows_)
    if (n->name == name) return n.get();
  return nullptr;
}

GtkWindow* GtkFrontEnd::activeNativeWindow() {
  if (app_ == nullptr) return nullptr;
  const Window* active = app_->activeWindow();
  NativeWindow* n = active ? native(active->name()) : nullptr;
  if (n == nullptr && !windows_.empty()) n = windows_.back().get();
  return n ? GTK_WINDOW(n->window) : nullptr;
}

// --- message boxes ----------------------------------------------------------------------

void GtkFrontEnd::show(const std::string& text, const std::string& title, MsgIcon icon) {
  nameApplication();
  const std::string body = ValidUtf8(text);
  GtkWidget* dialog =
      gtk_message_dialog_new(activeNativeWindow(), static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL),
                             MessageType(icon), GTK_BUTTONS_OK, "%s", body.c_str());
  const std::string caption = ValidUtf8(title);
  gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
  // Named by its title, as every program's message box is read: the title, then the text its
  // labels already carry. Named by the text, a screen reader would say that text twice and
  // never the title. Without a title (a start-up stop before Setup.ini is read) it keeps the
  // name GTK gives its kind ("Aviso"); a box of no kind has none, and takes the program's.
  AtkObject* accessible = gtk_widget_get_accessible(dialog);
  const char* kindName = atk_object_get_name(accessible);
  if (!caption.empty())
    atk_object_set_name(accessible, caption.c_str());
  else if (kindName == nullptr || *kindName == '\0')
    atk_object_set_name(accessible, g_get_application_name());
  ++boxesOpen_;
  gtk_dialog_run(GTK_DIALOG(dialog));
  --boxesOpen_;
  gtk_widget_destroy(dialog);
  schedule();
}

// --- building ---------------------------------------------------------------------------

GtkFrontEnd::NativeWindow& GtkFrontEnd::build(const Window& w) {
  auto owned = std::make_unique<NativeWindow>();
  NativeWindow& n = *owned;
  n.name = w.name();
  n.data = &w;
  n.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(n.window);
  gtk_window_set_resizable(GTK_WINDOW(n.window), FALSE);
  // A layout, unlike a fixed container, does not grow to hold its children: a button that
  // reaches past the edge as designed is cut there, and the window keeps the handlers' size.
  n.layout = gtk_layout_new(nullptr, nullptr);
  gtk_container_add(GTK_CONTAINER(n.window), n.layout);
  gtk_widget_show(n.layout);
  g_signal_connect(n.window, "key-press-event", G_CALLBACK(&GtkFrontEnd::onKeyPress), this);
  g_signal_connect(n.window, "delete-event", G_CALLBACK(&GtkFrontEnd::onDelete), this);
  g_signal_connect(n.window, "set-focus", G_CALLBACK(&GtkFrontEnd::onSetFocus), this);

  // Frames first, so that their controls have somewhere to go.
  std::vector<const Control*> order;
  for (const Control& c : w.controls())
    if (c.kind == ControlKind::Frame) order.push_back(&c);
  for (const Control& c : w.controls())
    if (c.kind != ControlKind::Frame) order.push_back(&c);

  n.controls.reserve(order.size());
  for (const Control* c : order) {
    NativeControl nc;
    nc.name = c->name;
    nc.kind = c->kind;
    nc.container = c->container;
    switch (c->kind) {
      case ControlKind::Frame:
        nc.widget = gtk_frame_new(nullptr);
        nc.label = gtk_label_new(nullptr);
        gtk_frame_set_label_widget(GTK_FRAME(nc.widget), nc.label);
        gtk_widget_show(nc.label);
        g_signal_connect(nc.label, "mnemonic-activate", G_CALLBACK(&GtkFrontEnd::onFrameMnemonic),
                         this);
        nc.inner = gtk_layout_new(nullptr, nullptr);
        gtk_container_add(GTK_CONTAINER(nc.widget), nc.inner);
        gtk_widget_show(nc.inner);
        g_signal_connect(nc.inner, "size-allocate", G_CALLBACK(&GtkFrontEnd::onFrameAllocated),
                         this);
        break;
      case ControlKind::CheckBox:
        nc.widget = gtk_check_button_new_with_mnemonic("");
        g_signal_connect(nc.widget, "toggled", G_CALLBACK(&GtkFrontEnd::onToggled), this);
        break;
      case ControlKind::Button:
        nc.widget = gtk_button_new_with_mnemonic("");
        g_signal_connect(nc.widget, "clicked", G_CALLBACK(&GtkFrontEnd::onClicked), this);
        break;
      case ControlKind::TextBox: {
        // Scrolled without scroll bars: the view follows the caret, and its size stays the
        // one the handlers give, whatever the length of the text.
        nc.widget = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(nc.widget), GTK_POLICY_EXTERNAL,
                                       GTK_POLICY_EXTERNAL);
        nc.focusable = gtk_text_view_new();
        GtkTextView* view = GTK_TEXT_VIEW(nc.focusable);
        gtk_text_view_set_editable(view, FALSE);
        // A visible caret lets the arrow keys move it, which is how a screen reader reads
        // the text line by line.
        gtk_text_view_set_cursor_visible(view, TRUE);
        gtk_text_view_set_wrap_mode(view, GTK_WRAP_WORD_CHAR);
        gtk_text_view_set_left_margin(view, 2);
        gtk_text_view_set_right_margin(view, 2);
        gtk_style_context_add_provider(gtk_widget_get_style_context(nc.focusable),
                                       GTK_STYLE_PROVIDER(textCss_),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        gtk_container_add(GTK_CONTAINER(nc.widget), nc.focusable);
        gtk_widget_show(nc.focusable);
        break;
      }
    }
    if (nc.focusable == nullptr && c->kind != ControlKind::Frame) nc.focusable = nc.widget;
    GtkWidget* parent = n.layout;
    if (!c->container.empty())
      if (NativeControl* frame = n.find(c->container); frame && frame->inner) parent = frame->inner;
    gtk_layout_put(GTK_LAYOUT(parent), nc.widget, 0, 0);
    n.controls.push_back(std::move(nc));
  }
  windows_.push_back(std::move(owned));
  return n;
}

void GtkFrontEnd::destroy(NativeWindow& n) {
  if (n.loop) g_main_loop_quit(n.loop);
  n.loop = nullptr;
  if (n.window) {
    const bool was = syncing_;
    syncing_ = true;
    gtk_widget_destroy(n.window);
    g_object_unref(n.window);
    syncing_ = was;
  }
  n.window = nullptr;
}

// --- bringing the widgets into step -----------------------------------------------------

void GtkFrontEnd::showWindow(const Window& w, bool modal) {
  nameApplication();
  NativeWindow* existing = native(w.name());
  NativeWindow& n = existing ? *existing : build(w);
  n.data = &w;
  if (modal) {
    if (NativeWindow* owner = native(w.owner)) {
      if (owner != &n)
        gtk_window_set_transient_for(GTK_WINDOW(n.window), GTK_WINDOW(owner->window));
    }
    gtk_window_set_modal(GTK_WINDOW(n.window), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(n.window), GDK_WINDOW_TYPE_HINT_DIALOG);
    // GTK picks the accessible role when the accessible is made, which may be before the hint.
    atk_object_set_role(gtk_widget_get_accessible(n.window), ATK_ROLE_DIALOG);
  }
  apply(n, Everything(w));
  gtk_widget_show(n.window);
  // Showing has allocated the window: the frames' controls move to their places before the
  // first paint, not after it.
  for (NativeControl& nc : n.controls)
    if (nc.inner != nullptr) placeFrameChildren(n, nc);
  gtk_window_present(GTK_WINDOW(n.window));
  if (!modal) return;
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  n.loop = loop;
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
}

void GtkFrontEnd::windowsChanged(const std::vector<WindowChange>& changes) {
  for (const WindowChange& change : changes) {
    if (NativeWindow* n = native(change.window->name())) {
      n->data = change.window;
      apply(*n, change);
    }
  }
}

void GtkFrontEnd::windowUnloaded(const Window& w) {
  auto it = std::find_if(windows_.begin(), windows_.end(),
                         [&](const auto& n) { return n->name == w.name(); });
  if (it == windows_.end()) return;
  destroy(**it);
  windows_.erase(it);
}

void GtkFrontEnd::programEnded(ExitStatus /*status*/) {
  reports_.clear();
  // Every window vanishes at once; the loops that show them return, and so does the main one.
  for (auto& n : windows_) destroy(*n);
  windows_.clear();
  if (gtk_main_level() > 0) gtk_main_quit();
  if (GdkDisplay* display = gdk_display_get_default()) gdk_display_flush(display);
}

void GtkFrontEnd::apply(NativeWindow& n, const WindowChange& change) {
  const Window& w = *change.window;
  const bool was = syncing_;
  syncing_ = true;
  if (change.what.has(Property::Caption)) {
    gtk_window_set_title(GTK_WINDOW(n.window), ValidUtf8(w.caption).c_str());
    // A screen reader names the text by the window it fills.
    for (NativeControl& nc : n.controls)
      if (nc.kind == ControlKind::TextBox)
        atk_object_set_name(gtk_widget_get_accessible(nc.focusable), ValidUtf8(w.caption).c_str());
  }
  if (change.what.has(Property::Geometry)) {
    gtk_widget_set_size_request(n.layout, std::max(1, Pixels(w.clientWidth())),
                                std::max(1, Pixels(w.clientHeight())));
    gtk_window_move(GTK_WINDOW(n.window), Pixels(w.left), Pixels(w.top));
  }
  for (const ControlChange& c : change.controls)
    if (NativeControl* nc = n.find(c.control->name)) applyControl(n, *nc, *c.control, c.what);
  applyFocus(n, w);
  syncing_ = was;
}

void GtkFrontEnd::applyControl(NativeWindow& n, NativeControl& nc, const Control& c, Changed what) {
  if (c.kind == ControlKind::TextBox) {
    if (what.has(Property::Text)) {
      GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(nc.focusable));
      const std::string shown = ValidUtf8(DisplayLines(c.text));
      gtk_text_buffer_set_text(buffer, shown.c_str(), static_cast<gint>(shown.size()));
      GtkTextIter start;
      gtk_text_buffer_get_start_iter(buffer, &start);
      gtk_text_buffer_place_cursor(buffer, &start);
    }
  } else if (what.has(Property::Caption)) {
    const std::string label = MnemonicLabel(ValidUtf8(c.caption));
    if (c.kind == ControlKind::Frame) {
      gtk_label_set_text_with_mnemonic(GTK_LABEL(nc.label), label.c_str());
    } else {
      gtk_button_set_label(GTK_BUTTON(nc.widget), label.c_str());
      gtk_button_set_use_underline(GTK_BUTTON(nc.widget), TRUE);
    }
  }
  if (what.has(Property::Geometry)) {
    gtk_widget_set_size_request(nc.widget, std::max(0, Pixels(c.width)),
                                std::max(0, Pixels(c.height)));
    int x = Pixels(c.left);
    int y = Pixels(c.top);
    GtkWidget* parent = gtk_widget_get_parent(nc.widget);
    if (!c.container.empty())
      if (NativeControl* frame = n.find(c.container); frame && frame->inner == parent) {
        x -= frame->innerX;
        y -= frame->innerY;
      }
    gtk_layout_move(GTK_LAYOUT(parent), nc.widget, x, y);
  }
  // GTK greys and hides a frame's controls with the frame itself.
  if (what.has(Property::Enabled)) gtk_widget_set_sensitive(nc.widget, c.enabled);
  if (what.has(Property::Visible)) gtk_widget_set_visible(nc.widget, c.visible);
  if (c.kind == ControlKind::CheckBox && what.has(Property::Value))
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(nc.widget), c.value != 0);
}

void GtkFrontEnd::applyFocus(NativeWindow& n, const Window& w) {
  NativeControl* target = n.find(w.focus());
  if (target == nullptr || target->focusable == nullptr) return;
  if (gtk_window_get_focus(GTK_WINDOW(n.window)) == target->focusable) return;
  if (gtk_widget_get_visible(target->widget) && gtk_widget_is_sensitive(target->widget))
    gtk_widget_grab_focus(target->focusable);
}

// A frame's controls are placed relative to its top-left corner, as designed, but GTK puts
// them in the area inside the frame's border and caption; they are moved back by the size of
// that inset once GTK has measured it.
void GtkFrontEnd::placeFrameChildren(NativeWindow& n, NativeControl& frame) {
  // Both allocations are in the coordinates of the window's layout, the frame's parent.
  GtkAllocation outer;
  GtkAllocation inner;
  gtk_widget_get_allocation(frame.widget, &outer);
  gtk_widget_get_allocation(frame.inner, &inner);
  const int dx = inner.x - outer.x;
  const int dy = inner.y - outer.y;
  if (dx == frame.innerX && dy == frame.innerY) return;
  frame.innerX = dx;
  frame.innerY = dy;
  for (NativeControl& nc : n.controls) {
    const Control* c = n.data && nc.container == frame.name ? n.data->find(nc.name) : nullptr;
    if (c == nullptr) continue;
    gtk_layout_move(GTK_LAYOUT(frame.inner), nc.widget, Pixels(c->left) - dx, Pixels(c->top) - dy);
  }
}

// --- reports to the application ---------------------------------------------------------

void GtkFrontEnd::post(std::function<void()> report) {
  if (over()) return;
  reports_.push_back(std::move(report));
  schedule();
}

void GtkFrontEnd::schedule() {
  if (idle_ == 0 && boxesOpen_ == 0 && !over() && !reports_.empty())
    idle_ = g_idle_add(&GtkFrontEnd::drainOne, this);
}

gboolean GtkFrontEnd::drainOne(gpointer data) {
  auto* self = static_cast<GtkFrontEnd*>(data);
  self->idle_ = 0;
  // While a message box is open the windows beneath take no input; what was reported before
  // it opened waits until it is closed.
  if (self->boxesOpen_ > 0 || self->over() || self->reports_.empty()) return G_SOURCE_REMOVE;
  std::function<void()> report = std::move(self->reports_.front());
  self->reports_.pop_front();
  // Scheduled before it runs: a report that opens a modal window has the next ones run in
  // that window's loop.
  self->schedule();
  self->guarded(report);
  return G_SOURCE_REMOVE;
}

// Nothing unwinds through GTK's C frames: what escapes the front end's own code ends the
// program as an unexpected error in a handler does, through the host.
template <class F>
std::invoke_result_t<F> GtkFrontEnd::guarded(F&& f) noexcept {
  try {
    return f();
  } catch (const std::exception& e) {
    failed(e.what());
  } catch (...) {
    failed("");
  }
  if constexpr (!std::is_void_v<std::invoke_result_t<F>>) return {};
}

void GtkFrontEnd::failed(const char* what) noexcept {
  if (app_ == nullptr) {
    std::fprintf(stderr, "instalador: %s\n", what);
    return;
  }
  try {
    app_->fail(what);
  } catch (...) {
    app_->fail("");
  }
}

gboolean GtkFrontEnd::onKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer data) {
  auto* self = static_cast<GtkFrontEnd*>(data);
  return self->guarded([&]() -> gboolean {
    NativeWindow* n = nullptr;
    for (auto& w : self->windows_)
      if (w->window == widget) n = w.get();
    if (self->over() || n == nullptr || n->data == nullptr) return FALSE;
    const guint key = event->keyval;
    const auto mods = event->state & gtk_accelerator_get_default_mod_mask();
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(n->window));
    NativeControl* focused = focus ? n->byWidget(focus) : nullptr;
    const Window& w = *n->data;

    if ((key == GDK_KEY_Tab || key == GDK_KEY_ISO_Left_Tab || key == GDK_KEY_KP_Tab) &&
        (mods & ~GDK_SHIFT_MASK) == 0) {
      // The tab order is the data's: tab index, skipping frames and what cannot take the focus.
      const bool forward = key != GDK_KEY_ISO_Left_Tab && (mods & GDK_SHIFT_MASK) == 0;
      const Control* next = w.nextFocusable(focused ? focused->name : w.focus(), forward);
      if (next != nullptr)
        if (NativeControl* nc = n->find(next->name); nc && nc->focusable)
          gtk_widget_grab_focus(nc->focusable);
      return TRUE;
    }
    if (key == GDK_KEY_Escape && mods == 0) {
      const Control* cancel = w.find(w.cancelButton);
      if (cancel != nullptr && w.usable(*cancel)) {
        std::string window = n->name;
        std::string control = cancel->name;
        self->post([self, window, control] { self->app_->inputPressed(window, control); });
      }
      return TRUE;
    }
    // No button is the default one: Enter presses a focused button and does nothing elsewhere,
    // where GTK would toggle a check box or activate the window's default.
    if (IsEnter(key) && mods == 0)
      return focused == nullptr || focused->kind != ControlKind::Button ? TRUE : FALSE;
    return FALSE;
  });
}

gboolean GtkFrontEnd::onDelete(GtkWidget* widget, GdkEvent* /*event*/, gpointer data) {
  auto* self = static_cast<GtkFrontEnd*>(data);
  return self->guarded([&]() -> gboolean {
    for (auto& n : self->windows_) {
      if (n->window != widget) continue;
      std::string window = n->name;
      self->post([self, window] { self->app_->inputClose(window); });
    }
    // The application decides; the window goes when it is unloaded.
    return TRUE;
  });
}

void GtkFrontEnd::onSetFocus(GtkWindow* window, GtkWidget* widget, gpointer data) {
  auto* self = static_cast<GtkFrontEnd*>(data);
  self->guarded([&] {
    if (self->syncing_ || self->over() || widget == nullptr) return;
    for (auto& n : self->windows_) {
      if (n->window != GTK_WIDGET(window)) continue;
      NativeControl* nc = n->byWidget(widget);
      if (nc == nullptr) return;
      std::string name = n->name;
      std::string control = nc->name;
      self->post([self, name, control] { self->app_->inputFocus(name, control); });
    }
  });
}

std::pair<GtkFrontEnd::NativeWindow*, GtkFrontEnd::NativeControl*> GtkFrontEnd::owner(
    const GtkWidget* widget) {
  for (auto& n : windows_)
    if (NativeControl* nc = n->byWidget(widget)) return {n.get(), nc};
  return {nullptr, nullptr};
}

void GtkFrontEnd::onToggled(GtkToggleButton* button, gpointer data) {
  auto* self = static_cast<GtkFrontEnd*>(data);
  self->guarded([&] {
    if (self->syncing_ || self->over()) return;
    auto [n, nc] = self->owner(GTK_WIDGET(button));
    if (nc == nullptr) return;
    // A box toggled by its access key takes the focus, as one clicked does.
    if (gtk_window_get_focus(GTK_WINDOW(n->window)) != nc->focusable)
      gtk_widget_grab_focus(nc->focusable);
    std::string window = n->name;
    std::string control = nc->name;
    const int value = gtk_toggle_button_get_active(button) ? 1 : 0;
    self->post(
        [self, window, control, value] { self->app_->inputChecked(window, control, value); });
  });
}

void GtkFrontEnd::onClicked(GtkButton* button, gpointer data) {
  auto* self = static_cast<GtkFrontEnd*>(data);
  self->guarded([&] {
    if (self->syncing_ || self->over()) return;
    auto [n, nc] = self->owner(GTK_WIDGET(button));
    if (nc == nullptr) return;
    std::string window = n->name;
    std::string control = nc->name;
    self->post([self, window, control] { self->app_->inputPressed(window, control); });
  });
}

gboolean GtkFrontEnd::onFrameMnemonic(GtkWidget* label, gboolean /*cycling*/, gpointer data) {
  auto* self = static_cast<GtkFrontEnd*>(data);
  return self->guarded([&]() -> gboolean {
    if (self->over()) return TRUE;
    for (auto& n : self->windows_) {
      for (NativeControl& frame : n->controls) {
        if (frame.label != label || n->data == nullptr) continue;
        // A frame's access key moves the focus on to the next control in tab order.
        const Control* next = n->data->nextFocusable(frame.name, true);
        if (next != nullptr)
          if (NativeControl* nc = n->find(next->name); nc && nc->focusable)
            gtk_widget_grab_focus(nc->focusable);
        return TRUE;
      }
    }
    return TRUE;
  });
}

void GtkFrontEnd::onFrameAllocated(GtkWidget* /*inner*/, GdkRectangle* /*allocation*/,
                                   gpointer data) {
  auto* self = static_cast<GtkFrontEnd*>(data);
  self->guarded([&] {
    // A child moved while its parent is being allocated keeps its old place until the next
    // allocation; moved from an idle callback, it is placed at once.
    if (self->placing_ == 0)
      self->placing_ = g_idle_add(
          [](gpointer p) -> gboolean {
            auto* front = static_cast<GtkFrontEnd*>(p);
            front->placing_ = 0;
            for (auto& n : front->windows_)
              for (NativeControl& frame : n->controls)
                if (frame.inner != nullptr) front->placeFrameChildren(*n, frame);
            return G_SOURCE_REMOVE;
          },
          self);
  });
}

}  // namespace inst::gtk
