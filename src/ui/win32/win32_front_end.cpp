#include "ui/win32/win32_front_end.h"

#include <algorithm>

#include "app/messages.h"
#include "ui/win32/accessible_name.h"
#include "ui/win32/dpi.h"
#include "ui/win32/layout.h"

namespace inst::win32ui {
namespace {

constexpr wchar_t kWindowClass[] = L"instalador";
// Control identifiers start above IDOK and IDCANCEL, which the dialog manager sends for Enter
// and Esc.
constexpr int kFirstControlId = 100;
// Posted to a window: a user action to hand to the application once the call that caused it
// has returned. wParam is the kind, lParam the control's index (and a checkbox's value).
constexpr UINT kInputMessage = WM_APP + 1;
enum InputKind : WPARAM { kPressed, kChecked, kEnter, kEsc, kClose };

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

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

// Form1 is the program's main window; any other window is a small modal dialog over it.
bool IsMainWindow(const std::string& name) {
  return name == "Form1";
}

DWORD WindowStyle(const std::string& name) {
  return IsMainWindow(name) ? WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX
                            : WS_POPUP | WS_CAPTION | WS_SYSMENU;
}

DWORD WindowExStyle(const std::string& name) {
  return WS_EX_CONTROLPARENT | (IsMainWindow(name) ? WS_EX_APPWINDOW : WS_EX_DLGMODALFRAME);
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
  unsigned dpi = 96;
  HFONT dialogFont = nullptr;
  HFONT textFont = nullptr;
  std::vector<HWND> controls;  // parallel to data->controls()
  // Parallel too: a hidden label just before a text box in z-order, carrying the window's
  // caption. Every screen reader names an edit by the static text before it; the dynamic
  // annotation alone does not reach one where the platform lacks the service (Wine).
  std::vector<HWND> labels;
  std::vector<Control> applied;  // what the native controls show
  std::vector<PixelRect> appliedRects;
  std::vector<int> appliedOrder;  // control indices in z-order
  bool appliedGeometry = false;
  std::wstring appliedName;  // the text box's accessible name: the window's caption
  RECT appliedWindow{};
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

int Win32FrontEnd::run(Application& app) {
  app_ = &app;
  app.start();
  if (!ended_) pump(nullptr);
  for (auto& n : windows_) {
    if (n->hwnd) DestroyWindow(n->hwnd);
    n->hwnd = nullptr;
  }
  app_ = nullptr;
  return ended_ ? status_ : app.exitStatus();
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

WindowFrame Win32FrontEnd::frameOf(const std::string& windowName) const {
  const unsigned dpi = SystemDpi();
  const SIZE outer = OuterSize(100, 100, WindowStyle(windowName), WindowExStyle(windowName), dpi);
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
  // A dialog is owned by the window that is active when it opens.
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
    if (!(*it)->unloaded && (*it)->hwnd) {
      n.ownerWindow = (*it)->hwnd;
      break;
    }
  windows_.push_back(std::move(native));

  n.dpi = SystemDpi();
  n.hwnd = CreateWindowExW(WindowExStyle(n.name), kWindowClass, Wide(window.caption).c_str(),
                           WindowStyle(n.name), CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
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
  // Nothing applied yet: every state is set by the first sync.
  n.applied.assign(controls.size(), Control{});
  n.appliedRects.assign(controls.size(), PixelRect{});
  for (Control& c : n.applied) c.visible = c.enabled = false;
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
  n.appliedGeometry = false;
  sync(n);
}

// Brings the native window and its controls into step with the window's data.
void Win32FrontEnd::sync(Native& n) {
  if (!n.data || !n.hwnd || n.unloaded) return;
  const Window& w = *n.data;
  const std::wstring caption = Wide(w.caption);
  {
    std::wstring current(static_cast<std::size_t>(GetWindowTextLengthW(n.hwnd)) + 1, L'\0');
    current.resize(static_cast<std::size_t>(
        GetWindowTextW(n.hwnd, current.data(), static_cast<int>(current.size()))));
    if (current != caption) SetWindowTextW(n.hwnd, caption.c_str());
  }
  if (caption != n.appliedName) {
    for (std::size_t i = 0; i < n.controls.size(); ++i)
      if (w.controls()[i].kind == ControlKind::TextBox && n.controls[i]) {
        SetAccessibleName(n.controls[i], caption);
        if (n.labels[i]) SetWindowTextW(n.labels[i], caption.c_str());
      }
    n.appliedName = caption;
  }

  // The client area is the outer size less the frame the data was given; the outer size in
  // pixels is then whatever this DPI's frame makes of it.
  const DWORD style = WindowStyle(n.name), exStyle = WindowExStyle(n.name);
  const SIZE outer = OuterSize(TwipsToPixels(w.clientWidth(), n.dpi),
                               TwipsToPixels(w.clientHeight(), n.dpi), style, exStyle, n.dpi);
  const RECT want{TwipsToPixels(w.left, n.dpi), TwipsToPixels(w.top, n.dpi), outer.cx, outer.cy};
  if (!n.appliedGeometry || !EqualRect(&want, &n.appliedWindow)) {
    SetWindowPos(n.hwnd, nullptr, want.left, want.top, want.right, want.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    n.appliedWindow = want;
  }

  const std::vector<Control>& controls = w.controls();
  std::vector<const Control*> order = w.tabOrder();
  std::vector<int> orderIndices;
  for (const Control* c : order) orderIndices.push_back(static_cast<int>(c - controls.data()));

  const Control* previous = nullptr;
  for (const Control* cp : order) {
    const std::size_t i = static_cast<std::size_t>(cp - controls.data());
    if (i >= n.controls.size() || !n.controls[i]) continue;
    const Control& c = *cp;
    Control& was = n.applied[i];
    HWND h = n.controls[i];

    const DWORD wantStyle = ControlStyle(c, StartsGroup(previous, c));
    previous = cp;
    const DWORD kept = static_cast<DWORD>(GetWindowLongPtrW(h, GWL_STYLE)) &
                       ~static_cast<DWORD>(WS_TABSTOP | WS_GROUP);
    const DWORD target = kept | (wantStyle & (WS_TABSTOP | WS_GROUP));
    if (target != static_cast<DWORD>(GetWindowLongPtrW(h, GWL_STYLE)))
      SetWindowLongPtrW(h, GWL_STYLE, static_cast<LONG_PTR>(target));

    const std::string text = ShownText(c);
    if (text != ShownText(was) || was.name.empty()) SetWindowTextW(h, Wide(text).c_str());

    // Compared in pixels: a box moves with its frame.
    const PixelRect r = ControlRect(w, c, n.dpi);
    if (!n.appliedGeometry || !(r == n.appliedRects[i]) || was.name.empty()) {
      SetWindowPos(h, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
      n.appliedRects[i] = r;
    }

    if (c.kind == ControlKind::CheckBox &&
        SendMessageW(h, BM_GETCHECK, 0, 0) != (c.value ? BST_CHECKED : BST_UNCHECKED))
      SendMessageW(h, BM_SETCHECK, c.value ? BST_CHECKED : BST_UNCHECKED, 0);

    const bool enabled = EnabledOnScreen(w, c);
    if (!IsWindowEnabled(h) != !enabled) EnableWindow(h, enabled);
    const bool visible = ShownOnScreen(w, c);
    if (!(GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE) != !visible)
      ShowWindow(h, visible ? SW_SHOWNA : SW_HIDE);
    was = c;
  }
  n.appliedGeometry = true;

  // The dialog manager walks the controls in z-order: it is the tab order.
  if (orderIndices != n.appliedOrder) {
    HWND after = HWND_TOP;
    for (int i : orderIndices) {
      for (HWND h :
           {n.labels[static_cast<std::size_t>(i)], n.controls[static_cast<std::size_t>(i)]}) {
        if (!h) continue;
        SetWindowPos(h, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = h;
      }
    }
    n.appliedOrder = orderIndices;
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
  if (!app_ || ended_) return;
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
  if (!app_ || ended_ || n.unloaded || !n.data) return;
  if (boxesOpen_ > 0) {
    sync(n);  // a box the toolkit toggled meanwhile shows the data's value again
    return;
  }
  reportFocus();
  if (ended_ || n.unloaded || !n.data) return;
  const std::size_t index = static_cast<std::size_t>(argument & 0xFFFF);
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
  // Whatever the handler changed, and whatever the toolkit did that the application refused.
  if (!ended_)
    for (auto& other : windows_) sync(*other);
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
  while (!ended_ && open()) {
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
  if (ended_) return;
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
  if (ended_) return;
  Native* existing = nativeOf(window.name());
  Native& n = existing && !existing->unloaded ? *existing : create(window);
  n.data = &window;
  if (!n.hwnd) {
    fail();
    return;
  }
  sync(n);
  if (modal && n.ownerWindow) EnableWindow(n.ownerWindow, FALSE);
  ShowWindow(n.hwnd, SW_SHOW);
  BringToFront(n.hwnd);
  applyFocus(n);
  if (modal) pump(&n);
}

void Win32FrontEnd::windowsChanged(const std::vector<const Window*>& windows) {
  if (ended_) return;
  for (const Window* w : windows) {
    Native* n = nativeOf(w->name());
    if (!n || n->unloaded) continue;
    n->data = w;
    sync(*n);
  }
}

void Win32FrontEnd::windowUnloaded(const Window& window) {
  Native* n = nativeOf(window.name());
  if (!n) return;
  n->unloaded = true;
  n->data = nullptr;
  // The owner is enabled before its dialog goes, so that the system gives it the activation.
  if (n->ownerWindow) EnableWindow(n->ownerWindow, TRUE);
  for (std::size_t i = 0; i < n->controls.size(); ++i)
    if (n->controls[i] && !n->appliedName.empty()) ClearAccessibleName(n->controls[i]);
  if (n->hwnd) DestroyWindow(n->hwnd);
  n->hwnd = nullptr;
  // The window procedure that reported the click may still be on the stack: the object goes
  // when the outermost loop next turns.
  auto it = std::find_if(windows_.begin(), windows_.end(), [&](auto& p) { return p.get() == n; });
  graveyard_.push_back(std::move(*it));
  windows_.erase(it);
}

void Win32FrontEnd::programEnded(int status) {
  if (ended_) return;
  ended_ = true;
  status_ = status;
  for (auto& n : windows_)
    if (n->hwnd) ShowWindow(n->hwnd, SW_HIDE);
  PostQuitMessage(status);
}

// The front end's own failure (no window could be made, memory ran out in a window procedure):
// said as the application says an unexpected error, and the end of the program.
void Win32FrontEnd::fail() {
  if (ended_) return;
  const std::wstring title = app_ ? Wide(app_->applicationTitle()) : std::wstring();
  MessageBoxW(nullptr, Wide(text::kUnexpected).c_str(), title.c_str(),
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
  programEnded(kStatusUnexpected);
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
  } catch (...) {
    n->owner->fail();
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
        DefWindowProcW(n.hwnd, message, wParam, lParam);
        applyFocus(n);
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
