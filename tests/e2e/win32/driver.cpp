// The Wine suite's eyes and hands: sees the installer's windows as a screen reader's helper does
// (window texts, classes, styles, pixel geometry, states, focus, MSAA) and types through
// SendInput. It reads one command a line on standard input and answers each with one JSON line,
// so that one Wine process serves a whole test run.
//
//   windows                       every visible top-level window
//   wait CLASS TITLE MS           the first visible top-level window of that class and title
//                                 ("-" for any), waiting up to MS milliseconds
//   gone HWND MS                  waits until the window is gone or hidden
//   tree HWND                     the window and all its descendants
//   focus HWND                    focus, active and foreground windows of the window's thread
//   keys KEY...                   SendInput: Tab, Shift+Tab, Alt+I, Esc, Enter, Space
//   click HWND                    BM_CLICK, posted so that a modal box it opens does not block
//   close HWND                    the close box (WM_SYSCOMMAND SC_CLOSE), posted
//   msaa HWND                     the control's MSAA name, role, state, shortcut, default action
//   doaction HWND                 accDoDefaultAction; answers how long the call took
//   version FILE                  the file's version strings
//   lines HWND                    an edit control's lines (EM_GETLINE)
//   manifest FILE                 the application manifest built into the file
//   wine                          whether this runs under Wine
//   startup MS COMMAND-LINE       starts a program and answers how many milliseconds passed
//                                 until its first visible top-level window, then closes that
//                                 window and answers the program's exit status
//   quit
//
// Started as "driver hold MS FILE..." it is instead another program holding files: it opens
// each FILE with no sharing at all, says "held" on standard output, and closes them after MS.

#include <windows.h>
// After windows.h, which they build on.
#include <oleacc.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

std::wstring Wide(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Quote(const std::wstring& w) {
  return Quote(Utf8(w));
}

// A JSON object built field by field.
class Json {
 public:
  Json& raw(const char* key, const std::string& value) {
    if (out_.size() > 1) out_ += ',';
    out_.append(Quote(std::string(key))).append(":").append(value);
    return *this;
  }
  Json& str(const char* key, const std::wstring& v) { return raw(key, Quote(v)); }
  Json& str(const char* key, const std::string& v) { return raw(key, Quote(v)); }
  Json& num(const char* key, long long v) { return raw(key, std::to_string(v)); }
  Json& flag(const char* key, bool v) { return raw(key, v ? "true" : "false"); }
  std::string done() const { return out_ + "}"; }

 private:
  std::string out_ = "{";
};

std::string Handle(HWND h) {
  return std::to_string(reinterpret_cast<uintptr_t>(h));
}

HWND ParseHandle(const std::string& s) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::stoull(s)));
}

std::wstring ClassOf(HWND h) {
  wchar_t buf[256] = {};
  GetClassNameW(h, buf, 256);
  return buf;
}

// WM_GETTEXT rather than GetWindowText, which does not reach into another process's controls.
std::wstring TextOf(HWND h) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return L"";
  std::wstring buf(length + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                      SMTO_ABORTIFHUNG, 2000, &got);
  buf.resize(got);
  return buf;
}

std::string Rect(RECT r) {
  std::string out = "[";
  for (long v : {r.left, r.top, r.right - r.left, r.bottom - r.top}) {
    if (out.size() > 1) out += ',';
    out.append(std::to_string(v));
  }
  return out.append("]");
}

std::string Describe(HWND h, HWND top) {
  Json j;
  j.raw("hwnd", Handle(h)).str("class", ClassOf(h)).str("text", TextOf(h));
  j.num("id", GetDlgCtrlID(h));
  j.num("style", static_cast<long long>(static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE))));
  j.num("exstyle", static_cast<long long>(static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE))));
  j.flag("visible", IsWindowVisible(h)).flag("enabled", IsWindowEnabled(h));
  RECT w;
  GetWindowRect(h, &w);
  j.raw("screen", Rect(w));
  RECT c;
  GetClientRect(h, &c);
  j.raw("client", Rect(c));
  // Relative to the top-level window's client area, the unit the layout is given in.
  POINT p{w.left, w.top};
  ScreenToClient(top, &p);
  RECT rel{p.x, p.y, p.x + (w.right - w.left), p.y + (w.bottom - w.top)};
  j.raw("rect", Rect(rel));
  j.raw("parent", Handle(GetAncestor(h, GA_PARENT)));
  j.raw("owner", Handle(GetWindow(h, GW_OWNER)));
  if (ClassOf(h) == L"Button") {
    DWORD_PTR check = 0;
    SendMessageTimeoutW(h, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &check);
    j.num("check", static_cast<long long>(check));
  }
  if (ClassOf(h) == L"Static" && (GetWindowLongW(h, GWL_STYLE) & 0x1F) == SS_ICON) {
    // A message box keeps its icon control when it has no icon; only its image tells.
    DWORD_PTR icon = 0;
    SendMessageTimeoutW(h, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
    j.flag("icon", icon != 0);
  }
  return j.done();
}

std::string Tree(HWND top) {
  std::string out = "{\"window\":" + Describe(top, top) + ",\"children\":[";
  // GetWindow walks siblings in z-order, which is the tab order of a dialog's controls.
  std::vector<HWND> stack;
  bool first = true;
  auto walk = [&](auto&& self, HWND parent) -> void {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      if (!first) out += ',';
      out.append(Describe(c, top));
      first = false;
      self(self, c);
    }
  };
  walk(walk, top);
  return out + "]}";
}

struct Found {
  std::wstring cls, title;
  std::vector<HWND> all;
};

BOOL CALLBACK Collect(HWND h, LPARAM p) {
  auto* f = reinterpret_cast<Found*>(p);
  if (!IsWindowVisible(h)) return TRUE;
  if (!f->cls.empty() && ClassOf(h) != f->cls) return TRUE;
  if (!f->title.empty() && TextOf(h) != f->title) return TRUE;
  f->all.push_back(h);
  return TRUE;
}

std::vector<HWND> TopWindows(const std::wstring& cls, const std::wstring& title) {
  Found f{cls, title, {}};
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&f));
  return f.all;
}

std::string Windows() {
  std::string out = "{\"windows\":[";
  bool first = true;
  for (HWND h : TopWindows(L"", L"")) {
    if (!first) out += ',';
    out.append(Describe(h, h));
    first = false;
  }
  out += "],\"foreground\":" + Handle(GetForegroundWindow()) + "}";
  return out;
}

std::string Focus(HWND h) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  DWORD thread = GetWindowThreadProcessId(h, nullptr);
  bool ok = GetGUIThreadInfo(thread, &info);
  Json j;
  j.flag("ok", ok).raw("focus", Handle(info.hwndFocus)).raw("active", Handle(info.hwndActive));
  j.raw("foreground", Handle(GetForegroundWindow()));
  if (info.hwndFocus) j.str("focusText", TextOf(info.hwndFocus));
  return j.done();
}

bool AddKey(std::vector<INPUT>& in, const std::string& chord) {
  std::vector<WORD> mods;
  std::string key = chord;
  for (;;) {
    if (key.rfind("Shift+", 0) == 0) {
      mods.push_back(VK_SHIFT);
      key = key.substr(6);
    } else if (key.rfind("Alt+", 0) == 0) {
      mods.push_back(VK_MENU);
      key = key.substr(4);
    } else {
      break;
    }
  }
  WORD vk = 0;
  if (key == "Tab")
    vk = VK_TAB;
  else if (key == "Esc")
    vk = VK_ESCAPE;
  else if (key == "Enter")
    vk = VK_RETURN;
  else if (key == "Space")
    vk = VK_SPACE;
  else if (key == "F4")
    vk = VK_F4;
  else if (key == "Down")
    vk = VK_DOWN;
  else if (key.size() == 1 && std::isalnum(static_cast<unsigned char>(key[0])))
    vk = static_cast<WORD>(std::toupper(static_cast<unsigned char>(key[0])));
  else
    return false;
  auto push = [&](WORD v, bool up) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = v;
    i.ki.wScan = static_cast<WORD>(MapVirtualKeyW(v, MAPVK_VK_TO_VSC));
    i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    in.push_back(i);
  };
  for (WORD m : mods) push(m, false);
  push(vk, false);
  push(vk, true);
  for (auto m = mods.rbegin(); m != mods.rend(); ++m) push(*m, true);
  return true;
}

std::string Keys(std::istringstream& args) {
  std::string chord;
  int sent = 0;
  while (args >> chord) {
    std::vector<INPUT> in;
    if (!AddKey(in, chord)) return Json().str("error", "unknown key " + chord).done();
    sent += static_cast<int>(SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)));
    Sleep(60);  // each key is handled before the next arrives, as a person types
  }
  return Json().num("sent", sent).done();
}

std::wstring Bstr(BSTR b) {
  std::wstring w = b ? std::wstring(b, SysStringLen(b)) : L"";
  SysFreeString(b);
  return w;
}

std::string Msaa(HWND h, bool act) {
  IAccessible* acc = nullptr;
  HRESULT hr = AccessibleObjectFromWindow(h, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&acc));
  if (FAILED(hr) || !acc) return Json().num("hr", static_cast<long>(hr)).done();
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  Json j;
  if (act) {
    DWORD start = GetTickCount();
    hr = acc->accDoDefaultAction(self);
    j.num("hr", static_cast<long>(hr)).num("ms", static_cast<long long>(GetTickCount() - start));
    acc->Release();
    return j.done();
  }
  BSTR b = nullptr;
  j.str("name", SUCCEEDED(acc->get_accName(self, &b)) ? Bstr(b) : L"");
  b = nullptr;
  j.str("shortcut", SUCCEEDED(acc->get_accKeyboardShortcut(self, &b)) ? Bstr(b) : L"");
  b = nullptr;
  j.str("action", SUCCEEDED(acc->get_accDefaultAction(self, &b)) ? Bstr(b) : L"");
  VARIANT v;
  VariantInit(&v);
  if (SUCCEEDED(acc->get_accRole(self, &v)) && v.vt == VT_I4) j.num("role", v.lVal);
  VariantClear(&v);
  if (SUCCEEDED(acc->get_accState(self, &v)) && v.vt == VT_I4) j.num("state", v.lVal);
  VariantClear(&v);
  acc->Release();
  return j.done();
}

std::string Version(const std::string& file) {
  std::wstring path = Wide(file);
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (!size) return Json().num("error", static_cast<long long>(GetLastError())).done();
  std::vector<char> data(size);
  GetFileVersionInfoW(path.c_str(), 0, size, data.data());
  Json j;
  for (const wchar_t* key : {L"ProductName", L"ProductVersion", L"FileDescription"}) {
    std::wstring query = std::wstring(L"\\StringFileInfo\\041604B0\\") + key;
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), query.c_str(), &value, &length) && length)
      j.str(Utf8(key).c_str(), std::wstring(static_cast<wchar_t*>(value)));
  }
  return j.done();
}

std::string Lines(HWND h) {
  DWORD_PTR count = 0;
  SendMessageTimeoutW(h, EM_GETLINECOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
  std::string out = "{\"lines\":[";
  for (DWORD_PTR i = 0; i < count; ++i) {
    // EM_GETLINE takes the buffer's size in its first WORD; it crosses processes because the
    // system marshals this message.
    std::wstring buf(4096, L'\0');
    buf[0] = static_cast<wchar_t>(buf.size());
    DWORD_PTR n = 0;
    SendMessageTimeoutW(h, EM_GETLINE, i, reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG,
                        2000, &n);
    buf.resize(n);
    if (i) out += ',';
    out.append(Quote(buf));
  }
  return out + "]}";
}

std::string Manifest(const std::string& file) {
  HMODULE module = LoadLibraryExW(Wide(file).c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return Json().num("error", static_cast<long long>(GetLastError())).done();
  std::string text;
  if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
    HGLOBAL loaded = LoadResource(module, found);
    const char* data = static_cast<const char*>(LockResource(loaded));
    if (data) text.assign(data, SizeofResource(module, found));
  }
  FreeLibrary(module);
  return Json().str("manifest", text).done();
}

struct ProcessWindow {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindProcessWindow(HWND h, LPARAM p) {
  auto* w = reinterpret_cast<ProcessWindow*>(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid != w->pid || !IsWindowVisible(h)) return TRUE;
  w->found = h;
  return FALSE;
}

std::string Startup(int ms, const std::string& commandLine) {
  std::wstring line = Wide(commandLine);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return Json().num("error", static_cast<long long>(GetLastError())).done();
  ProcessWindow w{pi.dwProcessId, nullptr};
  double elapsed = 0;
  do {
    EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&w));
    QueryPerformanceCounter(&now);
    elapsed = static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
              static_cast<double>(frequency.QuadPart);
    if (!w.found) Sleep(2);
  } while (!w.found && elapsed < ms);
  if (w.found) PostMessageW(w.found, WM_SYSCOMMAND, SC_CLOSE, 0);
  DWORD status = 259;
  if (WaitForSingleObject(pi.hProcess, 20000) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 9);
  GetExitCodeProcess(pi.hProcess, &status);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  Json j;
  j.flag("shown", w.found != nullptr).num("status", static_cast<long long>(status));
  return j.raw("ms", std::to_string(elapsed)).done();
}

std::string Arg(std::istringstream& in) {
  std::string s;
  in >> s;
  return s == "-" ? std::string() : s;
}

std::string Command(const std::string& line, bool& quit) {
  std::istringstream in(line);
  std::string word;
  in >> word;
  if (word == "windows") return Windows();
  if (word == "wait") {
    std::wstring cls = Wide(Arg(in)), title;
    std::string t = Arg(in);
    // Titles may hold blanks: written with %20.
    std::string spaced;
    for (size_t i = 0; i < t.size(); ++i) {
      if (t.compare(i, 3, "%20") == 0) {
        spaced += ' ';
        i += 2;
      } else {
        spaced += t[i];
      }
    }
    t = spaced;
    title = Wide(t);
    int ms = 0;
    in >> ms;
    DWORD start = GetTickCount();
    do {
      auto found = TopWindows(cls, title);
      if (!found.empty()) return Json().raw("hwnd", Handle(found[0])).done();
      Sleep(50);
    } while (GetTickCount() - start < static_cast<DWORD>(ms));
    return Json().raw("hwnd", "0").done();
  }
  if (word == "gone") {
    HWND h = ParseHandle(Arg(in));
    int ms = 0;
    in >> ms;
    DWORD start = GetTickCount();
    while (IsWindow(h) && IsWindowVisible(h) && GetTickCount() - start < static_cast<DWORD>(ms))
      Sleep(50);
    return Json().flag("gone", !IsWindow(h) || !IsWindowVisible(h)).done();
  }
  if (word == "tree") return Tree(ParseHandle(Arg(in)));
  if (word == "focus") return Focus(ParseHandle(Arg(in)));
  if (word == "keys") return Keys(in);
  if (word == "click") {
    return Json().flag("ok", PostMessageW(ParseHandle(Arg(in)), BM_CLICK, 0, 0)).done();
  }
  if (word == "close") {
    HWND h = ParseHandle(Arg(in));
    return Json().flag("ok", PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0)).done();
  }
  if (word == "msaa") return Msaa(ParseHandle(Arg(in)), false);
  if (word == "doaction") return Msaa(ParseHandle(Arg(in)), true);
  if (word == "version") {
    std::string rest;
    std::getline(in >> std::ws, rest);
    return Version(rest);
  }
  if (word == "lines") return Lines(ParseHandle(Arg(in)));
  if (word == "manifest") {
    std::string rest;
    std::getline(in >> std::ws, rest);
    return Manifest(rest);
  }
  if (word == "wine") {
    // Present only under Wine; checks Wine does not give are expected to fail only there.
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return Json()
        .flag("wine", ntdll && GetProcAddress(ntdll, "wine_get_version"))
        .num("acp", GetACP())
        .done();
  }
  if (word == "startup") {
    int ms = 0;
    in >> ms;
    std::string rest;
    std::getline(in >> std::ws, rest);
    return Startup(ms, rest);
  }
  if (word == "quit") {
    quit = true;
    return "{}";
  }
  return Json().str("error", "unknown command " + word).done();
}

}  // namespace

int Hold(int argc, char** argv) {
  std::vector<HANDLE> held;
  for (int i = 3; i < argc; ++i) {
    HANDLE h = CreateFileW(Wide(argv[i]).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      std::printf("cannot open %s: %lu\n", argv[i], GetLastError());
      return 1;
    }
    held.push_back(h);
  }
  std::puts("held");
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(std::atoi(argv[2])));
  for (HANDLE h : held) CloseHandle(h);
  return 0;
}

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "hold") return Hold(argc, argv);
  CoInitialize(nullptr);
  char buf[4096];
  bool quit = false;
  while (!quit && std::fgets(buf, sizeof buf, stdin)) {
    std::string line(buf);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    std::string reply = Command(line, quit);
    std::fputs(reply.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  CoUninitialize();
  return 0;
}
