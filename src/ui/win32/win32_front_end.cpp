#include "ui/win32/win32_front_end.h"

#include <algorithm>

#include "text/utf8.h"
#include "ui/win32/accessible_name.h"
#include "ui/win32/dpi.h"
#include "ui/win32/layout.h"

namespace inst::win32ui {
namespace {

std::wstring Wide(std::string_view utf8) {
  const std::u16string units = utf8::ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

constexpr wchar_t kWindowClass[] = L"instalador";
// Control identifiers start above IDOK and IDCANCEL, which the dialog manager sends for Enter
// and Esc.
constexpr int kFirstControlId = 100;
// Posted to a window: a user action to hand to the application once the call that caused it
// has returned. wParam is the kind, lParam the control's index (and a checkbox's value).
constexpr UINT kInputMessage = WM_APP + 1;
enum InputKind : WPARAM { kPressed, kChecked, kEnter, kEsc, kClose };

UINT IconStyle(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::None:
      return 0;
    case MsgIcon::Exclamation:
      return MB_ICONEXCLAMATION;
    case MsgIcon::Information:
      return MB_ICONINFORMATION;
    case MsgIcon::Critical:
      return MB_ICONERROR;
    case MsgIcon::Question:
      return MB_ICONQUESTION;
  }
  return 0;
}

// A window without an owner is a main window of the program; one with an owner is a small
// modal dialog over it.
DWORD WindowStyle(bool dialog) {
  return dialog ? WS_POPUP | WS_CAPTION | WS_SYSMENU
                : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
}

DWORD WindowExStyle(bool dialog) {
  return WS_EX_CONTROLPARENT | (dialog ? WS_EX_DLGMODALFRAME : WS_EX_APPWINDOW);
}

// No clipping between siblings or of children, as in a dialog: the group box lies above its
// checkboxes in z-order (the tab order) and draws only its border and caption.
DWORD ControlStyle(const Control& c, bool startsGroup) {
  DWORD style = WS_CHILD;
  switch (c.kind) {
    case ControlKind::Frame:
      style |= BS_GROUPBOX;
      break;
    case ControlKind::CheckBox:
      style |= BS_AUTOCHECKBOX;
      break;
    case ControlKind::Button:
      style |= BS_PUSHBUTTON;
      break;
    case ControlKind::TextBox:
      // No scroll bars: the text wraps and scrolls with the caret.
      style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
      break;
  }
  if (c.tabStop && c.kind != ControlKind::Frame) style |= WS_TABSTOP;
  if (startsGroup) style |= WS_GROUP;
  return style;
}

std::string ShownText(const Control& c) {
  return c.kind == ControlKind::TextBox ? EditText(c.text) : c.caption;
}

// The window is brought to the front with the keyboard focus even when another program holds
// the foreground, so that a blind user is never left in another window unawares.
void BringToFront(HWND hwnd) {
  SetForegroundWindow(hwnd);
  HWND foreground = GetForegroundWindow();
  if (foreground == hwnd || !foreground) return;
  const DWORD mine = GetCurrentThreadId();
  const DWORD theirs = GetWindowThreadProcessId(foreground, nullptr);
  if (theirs != mine && AttachThreadInput(mine, theirs, TRUE)) {
    BringWindowToTop(hwnd);
    SetForegroundWindow(hwnd);
    AttachThreadInput(mine, theirs, FALSE);
  }
}

WNDPROC g_editProcedure = nullptr;

}  // namespace

struct Win32FrontEnd::Native {
  Win32FrontEnd* owner = nullptr;
  std::string name;
  const Window* data = nullptr;  // between showing and unloading
  HWND hwnd = nullptr;
  HWND ownerWindow = nullptr;
  bool dialog = false;  // the window has an owner
  unsigned dpi = 96;
  HFONT dialogFont = nullptr;
  HFONT textFont = nullptr;
  std::vector<HWND> controls;  // parallel to data->controls()
  // Parallel too: a hidden label just before a text box in z-order, carrying the window's
  // caption. Every screen reader names an edit by the static text before it; the dynamic
  // annotation alone does not reach one where the platform lacks the service (Wine).
  std::vector<HWND> labels;
  bool unloaded = false;

  int indexOf(HWND control) const {
    auto it = std::find(controls.begin(), controls.end(), control);
    return it == controls.end() ? -1 : static_cast<int>(it - controls.begin());
  }

  ~Native() {
    if (dialogFont) DeleteObject(dialogFont);
    if (textFont) DeleteObject(textFont);
  }
};

Win32FrontEnd::Win32FrontEnd(HINSTANCE instance) : instance_(instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Procedure;
  wc.hInstance = instance;
  wc.hIcon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kWindowClass;
  windowClass_ = RegisterClassExW(&wc);
}

Win32FrontEnd::~Win32FrontEnd() {
  for (auto& n : windows_)
    if (n->hwnd) DestroyWindow(n->hwnd);
  windows_.clear();
  graveyard_.clear();
  if (windowClass_) UnregisterClassW(kWindowClass, instance_);
}

int Win32FrontEnd::run(Host& host) {
  app_ = &host;
  host.start();
  if (!host.ended()) pump(nullptr);
  for (auto& n : windows_) {
    if (n->hwnd) DestroyWindow(n->hwnd);
    n->hwnd = nullptr;
  }
  app_ = nullptr;
  return host.exitStatus();
}

Win32FrontEnd::Native* Win32FrontEnd::nativeOf(const std::string& windowName) const {
  for (auto& n : windows_)
    if (n->name == windowName) return n.get();
  return nullptr;
}

Win32FrontEnd::Native* Win32FrontEnd::nativeOf(HWND hwnd) const {
  for (auto& n : windows_)
    if (n->hwnd == hwnd) return n.get();
  return nullptr;
}

WindowFrame Win32FrontEnd::frameOf(const Window& window) const {
  const unsigned dpi = SystemDpi();
  const bool dialog = !window.owner.empty();
  const SIZE outer = OuterSize(100, 100, WindowStyle(dialog), WindowExStyle(dialog), dpi);
  return WindowFrame{PixelsToTwips(outer.cx - 100, dpi), PixelsToTwips(outer.cy - 100, dpi)};
}

ScreenArea Win32FrontEnd::screen() const {
  const unsigned dpi = SystemDpi();
  RECT work{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
    work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return ScreenArea{PixelsToTwips(work.left, dpi), PixelsToTwips(work.top, dpi),
                    PixelsToTwips(work.right - work.left, dpi),
                    PixelsToTwips(work.bottom - work.top, dpi)};
}

Win32FrontEnd::Native& Win32FrontEnd::create(const Window& window) {
  auto native = std::make_unique<Native>();
  Native& n = *native;
  n.owner = this;
  n.name = window.name();
  n.data = &window;
  n.dialog = !window.owner.empty();
  if (const Native* owner = n.dialog ? nativeOf(window.owner) : nullptr)
    n.ownerWindow = owner->hwnd;
  windows_.push_back(std::move(native));

  n.dpi = SystemDpi();
  n.hwnd = CreateWindowExW(WindowExStyle(n.dialog), kWindowClass, Wide(window.caption).c_str(),
                           WindowStyle(n.dialog), CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                           n.ownerWindow, nullptr, instance_, &n);
  if (!n.hwnd) return n;
  n.dpi = WindowDpi(n.hwnd);

  const std::vector<Control>& controls = window.controls();
  n.controls.assign(controls.size(), nullptr);
  n.labels.assign(controls.size(), nullptr);
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const Control& c = controls[i];
    const bool edit = c.kind == ControlKind::TextBox;
    if (edit)
      n.labels[i] = CreateWindowExW(
          0, L"STATIC", Wide(window.caption).c_str(), WS_CHILD | SS_NOPREFIX, 0, 0, 0, 0, n.hwnd,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(-1)), instance_, nullptr);
    HWND h = CreateWindowExW(edit ? WS_EX_CLIENTEDGE : 0, edit ? L"EDIT" : L"BUTTON", L"",
                             ControlStyle(c, false), 0, 0, 0, 0, n.hwnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)),
                             instance_, nullptr);
    if (edit && h) {
      auto previous = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProcedure)));
      if (!g_editProcedure) g_editProcedure = previous;
    }
    n.controls[i] = h;
  }
  layout(n);
  return n;
}

// Fonts and every position and size, at the window's DPI.
void Win32FrontEnd::layout(Native& n) {
  if (n.dialogFont) DeleteObject(n.dialogFont);
  if (n.textFont) DeleteObject(n.textFont);
  LOGFONTW dialog = DialogFont(n.dpi);
  n.dialogFont = CreateFontIndirectW(&dialog);
  LOGFONTW text{};
  text.lfHeight = -MulDiv(825, static_cast<int>(n.dpi), 7200);  // Arial 8.25 pt
  text.lfWeight = FW_NORMAL;
  text.lfCharSet = ANSI_CHARSET;
  lstrcpyW(text.lfFaceName, L"Arial");
  n.textFont = CreateFontIndirectW(&text);
  if (n.data) {
    const std::vector<Control>& controls = n.data->controls();
    for (std::size_t i = 0; i < controls.size() && i < n.controls.size(); ++i) {
      HFONT font = controls[i].kind == ControlKind::TextBox ? n.textFont : n.dialogFont;
      SendMessageW(n.controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
  }
  if (n.data) apply(n, Everything(*n.data));
}

// Sets what changed in the native window and its controls, from the window's data.
void Win32FrontEnd::apply(Native& n, const WindowChange& change) {
  if (!n.data || !n.hwnd || n.unloaded) return;
  const Window& w = *n.data;
  if (change.what.has(Property::Caption)) {
    const std::wstring caption = Wide(w.caption);
    SetWindowTextW(n.hwnd, caption.c_str());
    for (std::size_t i = 0; i < n.controls.size(); ++i)
      if (w.controls()[i].kind == ControlKind::TextBox && n.controls[i]) {
        SetAccessibleName(n.controls[i], caption);
        if (n.labels[i]) SetWindowTextW(n.labels[i], caption.c_str());
      }
  }
  if (change.what.has(Property::Geometry)) {
    // The client area is the outer size less the frame the data was given; the outer size in
    // pixels is then whatever this DPI's frame makes of it.
    const SIZE outer =
        OuterSize(TwipsToPixels(w.clientWidth(), n.dpi), TwipsToPixels(w.clientHeight(), n.dpi),
                  WindowStyle(n.dialog), WindowExStyle(n.dialog), n.dpi);
    SetWindowPos(n.hwnd, nullptr, TwipsToPixels(w.left, n.dpi), TwipsToPixels(w.top, n.dpi),
                 outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  const std::vector<Control>& controls = w.controls();
  for (const ControlChange& cc : change.controls) {
    const Control& c = *cc.control;
    const std::size_t i = static_cast<std::size_t>(&c - controls.data());
    if (i >= n.controls.size() || !n.controls[i]) continue;
    HWND h = n.controls[i];
    if (cc.what.has(Property::Caption) || cc.what.has(Property::Text))
      SetWindowTextW(h, Wide(ShownText(c)).c_str());
    if (cc.what.has(Property::Geometry)) {
      const PixelRect r = ControlRect(w, c, n.dpi);
      SetWindowPos(h, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (c.kind == ControlKind::CheckBox && cc.what.has(Property::Value))
      SendMessageW(h, BM_SETCHECK, c.value ? BST_CHECKED : BST_UNCHECKED, 0);
    if (cc.what.has(Property::Enabled)) EnableWindow(h, w.enabledWithContainer(c));
    if (cc.what.has(Property::Visible))
      ShowWindow(h, w.shownWithContainer(c) ? SW_SHOWNA : SW_HIDE);
  }

  if (change.what.has(Property::TabIndex)) {
    // The dialog manager walks the controls in z-order: it is the tab order, and its groups
    // and tab stops follow it.
    HWND after = HWND_TOP;
    const Control* previous = nullptr;
    for (const Control* c : w.tabOrder()) {
      const std::size_t i = static_cast<std::size_t>(c - controls.data());
      HWND h = i < n.controls.size() ? n.controls[i] : nullptr;
      if (!h) continue;
      const DWORD flags = ControlStyle(*c, StartsGroup(previous, *c)) & (WS_TABSTOP | WS_GROUP);
      previous = c;
      const DWORD kept = static_cast<DWORD>(GetWindowLongPtrW(h, GWL_STYLE)) &
                         ~static_cast<DWORD>(WS_TABSTOP | WS_GROUP);
      SetWindowLongPtrW(h, GWL_STYLE, static_cast<LONG_PTR>(kept | flags));
      // A text box's label stays just before it, so that it keeps naming it.
      for (HWND placed : {n.labels[i], h}) {
        if (!placed) continue;
        SetWindowPos(placed, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = placed;
      }
    }
  }
  applyFocus(n);
}

// The focus goes where the data has it, when the window is the active one; otherwise it goes
// there when the window is activated again (WM_ACTIVATE).
void Win32FrontEnd::applyFocus(Native& n) {
  if (!n.data || !n.hwnd || n.unloaded || GetActiveWindow() != n.hwnd) return;
  const Control* c = n.data->find(n.data->focus());
  if (!c) return;
  const std::size_t i = static_cast<std::size_t>(c - n.data->controls().data());
  if (i < n.controls.size() && n.controls[i] && GetFocus() != n.controls[i] &&
      IsWindowVisible(n.controls[i]) && IsWindowEnabled(n.controls[i]))
    SetFocus(n.controls[i]);
}

// The toolkit moved the focus (Tab, an access key, a mouse click): the application hears it
// before anything else reads the focus.
void Win32FrontEnd::reportFocus() {
  if (over()) return;
  HWND focus = GetFocus();
  if (!focus) return;
  for (auto& np : windows_) {
    Native& n = *np;
    if (n.unloaded || !n.data) continue;
    const int i = n.indexOf(focus);
    if (i < 0) continue;
    const Control& c = n.data->controls()[static_cast<std::size_t>(i)];
    if (c.name != n.data->focus()) app_->inputFocus(n.name, c.name);
    return;
  }
}

void Win32FrontEnd::input(Native& n, WPARAM kind, LPARAM argument) {
  // A click that was queued before a message box opened reaches a window the box disables:
  // Windows drops such input, and so does this.
  if (over() || n.unloaded || !n.data) return;
  const std::size_t index = static_cast<std::size_t>(argument & 0xFFFF);
  if (boxesOpen_ > 0) {
    // A box the toolkit toggled meanwhile shows the data's value again.
    if (kind == kChecked && index < n.controls.size()) {
      const Control& c = n.data->controls()[index];
      SendMessageW(n.controls[index], BM_SETCHECK, c.value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return;
  }
  reportFocus();
  if (over() || n.unloaded || !n.data) return;
  const std::vector<Control>& controls = n.data->controls();
  const std::string window = n.name;
  switch (kind) {
    case kPressed:
      if (index < controls.size()) app_->inputPressed(window, controls[index].name);
      break;
    case kChecked:
      if (index < controls.size())
        app_->inputChecked(window, controls[index].name, static_cast<int>(argument >> 16));
      break;
    case kEnter:
      app_->key(Key::Enter);
      break;
    case kEsc:
      app_->key(Key::Esc);
      break;
    case kClose:
      app_->inputClose(window);
      break;
    default:
      break;
  }
}

void Win32FrontEnd::pump(const Native* modal) {
  const std::string modalName = modal ? modal->name : std::string();
  auto open = [&] {
    if (modalName.empty()) return !windows_.empty();
    const Native* n = nativeOf(modalName);
    return n && !n->unloaded;
  };
  ++pumpDepth_;
  MSG msg;
  while (!over() && open()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // WM_QUIT belongs to the outermost loop.
      if (pumpDepth_ > 1) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got == -1) break;
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (!root || !nativeOf(root) || !IsDialogMessageW(root, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    reportFocus();
    if (pumpDepth_ == 1) graveyard_.clear();
  }
  --pumpDepth_;
}

void Win32FrontEnd::show(const std::string& text, const std::string& title, MsgIcon icon) {
  Native* owner = nullptr;
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
    if (!(*it)->unloaded && (*it)->hwnd && IsWindowVisible((*it)->hwnd)) {
      owner = it->get();
      break;
    }
  // A box with no window beneath it (the start-up stops) must still come to the front.
  const UINT style = MB_OK | IconStyle(icon) | MB_SETFOREGROUND | (owner ? 0 : MB_TOPMOST);
  ++boxesOpen_;
  MessageBoxW(owner ? owner->hwnd : nullptr, Wide(text).c_str(), Wide(title).c_str(), style);
  --boxesOpen_;
}

void Win32FrontEnd::showWindow(const Window& window, bool modal) {
  Native* existing = nativeOf(window.name());
  const bool shownBefore = existing && !existing->unloaded;
  Native& n = shownBefore ? *existing : create(window);
  n.data = &window;
  if (!n.hwnd) {
    failed("CreateWindowExW");
    return;
  }
  // A window just created has had all of it set by its layout; setting it again would only
  // delay the first window.
  if (shownBefore) apply(n, Everything(window));
  if (modal && n.ownerWindow) EnableWindow(n.ownerWindow, FALSE);
  ShowWindow(n.hwnd, SW_SHOW);
  BringToFront(n.hwnd);
  applyFocus(n);
  if (modal) pump(&n);
}

void Win32FrontEnd::windowsChanged(const std::vector<WindowChange>& changes) {
  for (const WindowChange& change : changes) {
    Native* n = nativeOf(change.window->name());
    if (!n || n->unloaded) continue;
    n->data = change.window;
    apply(*n, change);
  }
}

void Win32FrontEnd::windowUnloaded(const Window& window) {
  Native* n = nativeOf(window.name());
  if (!n) return;
  n->unloaded = true;
  n->data = nullptr;
  // The owner is enabled before its dialog goes, so that the system gives it the activation.
  if (n->ownerWindow) EnableWindow(n->ownerWindow, TRUE);
  for (std::size_t i = 0; i < n->controls.size() && i < window.controls().size(); ++i)
    if (n->controls[i] && window.controls()[i].kind == ControlKind::TextBox)
      ClearAccessibleName(n->controls[i]);
  if (n->hwnd) DestroyWindow(n->hwnd);
  n->hwnd = nullptr;
  // The window procedure that reported the click may still be on the stack: the object goes
  // when the outermost loop next turns.
  auto it = std::find_if(windows_.begin(), windows_.end(), [&](auto& p) { return p.get() == n; });
  graveyard_.push_back(std::move(*it));
  windows_.erase(it);
}

void Win32FrontEnd::programEnded(ExitStatus status) {
  for (auto& n : windows_)
    if (n->hwnd) ShowWindow(n->hwnd, SW_HIDE);
  PostQuitMessage(Code(status));
}

// The front end's own failure (no window could be made, memory ran out in a window procedure):
// the host says it as it says any unexpected error, and ends the program.
void Win32FrontEnd::failed(const char* what) noexcept {
  if (app_ == nullptr) return;
  try {
    app_->fail(what);
  } catch (...) {
    app_->fail("");
  }
}

LRESULT CALLBACK Win32FrontEnd::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* n = static_cast<Native*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(n));
    n->hwnd = hwnd;
  }
  auto* n = reinterpret_cast<Native*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!n || n->hwnd != hwnd) return DefWindowProcW(hwnd, message, wParam, lParam);
  // Nothing unwinds into the system's code that called this.
  try {
    return n->owner->handle(*n, message, wParam, lParam);
  } catch (const std::exception& e) {
    n->owner->failed(e.what());
    return 0;
  } catch (...) {
    n->owner->failed("");
    return 0;
  }
}

// Tab, Enter and Esc belong to the dialog manager, not to the read-only text: the edit keeps
// its arrows, so that a screen reader reads it line by line, and does not select its whole text
// when the focus arrives.
LRESULT CALLBACK Win32FrontEnd::EditProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  LRESULT result = CallWindowProcW(g_editProcedure, hwnd, message, wParam, lParam);
  if (message == WM_GETDLGCODE) result &= ~(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_HASSETSEL);
  return result;
}

LRESULT Win32FrontEnd::handle(Native& n, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == IDOK || id == IDCANCEL) {
        PostMessageW(n.hwnd, kInputMessage, id == IDOK ? kEnter : kEsc, 0);
        return 0;
      }
      const int index = id - kFirstControlId;
      if (HIWORD(wParam) == BN_CLICKED && n.data && index >= 0 &&
          static_cast<std::size_t>(index) < n.controls.size()) {
        const Control& c = n.data->controls()[static_cast<std::size_t>(index)];
        if (c.kind == ControlKind::CheckBox) {
          const LRESULT checked =
              SendMessageW(n.controls[static_cast<std::size_t>(index)], BM_GETCHECK, 0, 0);
          PostMessageW(n.hwnd, kInputMessage, kChecked,
                       index | ((checked == BST_CHECKED ? 1 : 0) << 16));
        } else if (c.kind == ControlKind::Button) {
          PostMessageW(n.hwnd, kInputMessage, kPressed, index);
        }
      }
      return 0;
    }
    case kInputMessage:
      input(n, wParam, lParam);
      return 0;
    case WM_CLOSE:
      PostMessageW(n.hwnd, kInputMessage, kClose, 0);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) {
        // Straight to the control, as a dialog does: the system would first give the focus to
        // the window itself, and a screen reader would announce the window twice.
        applyFocus(n);
        if (!IsChild(n.hwnd, GetFocus())) DefWindowProcW(n.hwnd, message, wParam, lParam);
        return 0;
      }
      break;
    case WM_NEXTDLGCTL: {
      // What the dialog procedure does for a real dialog; the dialog manager sends it here for
      // an access key on the frame.
      HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                   : GetNextDlgTabItem(n.hwnd, GetFocus(), wParam != 0);
      if (target) SetFocus(target);
      return 0;
    }
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI: the sizes and fonts follow it, and the window stays
      // where the system puts it rather than going back to its twips on the first monitor.
      n.dpi = HIWORD(wParam);
      layout(n);
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(n.hwnd, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(n.hwnd, message, wParam, lParam);
}

}  // namespace inst::win32ui
