#include "platform/win32/wide.h"

#include <windows.h>

#include <vector>

namespace inst::win32 {

std::wstring toWide(std::string_view text, unsigned codePage) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), w.data(), n);
  return w;
}

std::string fromWide(std::wstring_view wide, unsigned codePage) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

std::wstring toWide(std::string_view utf8) {
  return toWide(utf8, CP_UTF8);
}

std::string toUtf8(std::wstring_view wide) {
  return fromWide(wide, CP_UTF8);
}

std::string errorText(unsigned long code) {
  // The words the POSIX back end gives too, whatever language the system speaks.
  if (code == ERROR_ACCESS_DENIED) return "Acesso negado.";
  if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) return kInUseReason;
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = n ? toUtf8(std::wstring_view(buffer, n)) : "error " + std::to_string(code);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

}  // namespace inst::win32

namespace inst::win32 {

unsigned long flushFile(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD error = FlushFileBuffers(h) ? 0 : GetLastError();
  CloseHandle(h);
  return error;
}

bool isOrphanTemp(std::wstring_view name) {
  constexpr std::wstring_view prefix = L".instalador-tmp-";
  if (!name.starts_with(prefix)) return false;
  name.remove_prefix(prefix.size());
  DWORD pid = 0;
  std::size_t digits = 0;
  while (digits < name.size() && digits < 10 && name[digits] >= L'0' && name[digits] <= L'9')
    pid = pid * 10 + static_cast<DWORD>(name[digits++] - L'0');
  if (digits == 0) return true;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
  DWORD code = 0;
  const bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  CloseHandle(process);
  return ended;
}

void removeOrphanTempsBeside(const std::wstring& path) {
  const std::size_t cut = path.find_last_of(L"\\/");
  const std::wstring folder = cut == std::wstring::npos ? L"" : path.substr(0, cut + 1);
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW((folder + L".instalador-tmp-*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> orphans;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && isOrphanTemp(data.cFileName))
      orphans.push_back(folder + data.cFileName);
  } while (FindNextFileW(h, &data));
  FindClose(h);
  for (const std::wstring& orphan : orphans) DeleteFileW(orphan.c_str());
}

}  // namespace inst::win32
