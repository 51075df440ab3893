// rand_s, the C library's draw from the system's random source, is declared only on demand,
// before the first include of stdlib.h.
#define _CRT_RAND_S
#include "platform/temp_folder.h"

#include <windows.h>
// After windows.h:
#include <sddl.h>

#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/plain_files.h"
#include "platform/win32/long_path.h"
#include "platform/win32/wide.h"

namespace inst {
namespace {

std::wstring TempBase() {
  // The variables first: the system's call refuses a folder past the classic limit.
  std::wstring buffer(32768, L'\0');
  const auto size = static_cast<DWORD>(buffer.size());
  DWORD n = GetEnvironmentVariableW(L"TMP", buffer.data(), size);
  if (n == 0 || n >= size) n = GetEnvironmentVariableW(L"TEMP", buffer.data(), size);
  if (n == 0 || n >= size) n = GetTempPathW(size, buffer.data());
  std::wstring base = n && n < size ? buffer.substr(0, n) : L".\\";
  if (base.back() != L'\\' && base.back() != L'/') base += L'\\';
  return base;
}

// "D:P(A;OICI;FA;;;<user>)": full access for the current user alone, inherited by everything
// inside, and nothing inherited from the temporary folder above.
std::wstring OnlyTheUser() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size ? size : 1);
  std::wstring sddl;
  wchar_t* sid = nullptr;
  if (GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
    sddl = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")";
    LocalFree(sid);
  }
  CloseHandle(token);
  return sddl;
}

long OwnerPid(std::wstring_view name) {
  const std::wstring_view prefix = L"instalador-";
  if (name.substr(0, prefix.size()) != prefix) return 0;
  name.remove_prefix(prefix.size());
  const std::size_t dash = name.find(L'-');
  if (dash == 0 || dash == std::wstring_view::npos || dash > 9 || name.size() - dash != 7) return 0;
  long pid = 0;
  for (wchar_t c : name.substr(0, dash)) {
    if (c < L'0' || c > L'9') return 0;
    pid = pid * 10 + (c - L'0');
  }
  return pid;
}

bool ProcessGone(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool gone = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  CloseHandle(process);
  return gone;
}

}  // namespace

Status MakePrivateTempFolder(std::string& path) {
  const std::wstring sddl = OnlyTheUser();
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
  if (sddl.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                          sddl.c_str(), SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr))
    return Status::failure(win32::toUtf8(TempBase()), win32::errorText(GetLastError()));
  const std::wstring stem =
      TempBase() + L"instalador-" + win32::toWide(std::to_string(GetCurrentProcessId())) + L"-";
  std::wstring candidate;
  DWORD error = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < 100 && error == ERROR_ALREADY_EXISTS; ++attempt) {
    candidate = stem;
    for (int i = 0; i < 6; ++i) {
      unsigned int random = 0;
      rand_s(&random);
      candidate += L"abcdefghijklmnopqrstuvwxyz0123456789"[random % 36];
    }
    error = CreateDirectoryW(win32::LongPath(candidate).c_str(), &attributes) ? ERROR_SUCCESS
                                                                              : GetLastError();
  }
  LocalFree(attributes.lpSecurityDescriptor);
  if (error != ERROR_SUCCESS)
    return Status::failure(win32::toUtf8(candidate), win32::errorText(error));
  path = win32::toUtf8(candidate);
  return Status::success();
}

Status RemoveFolderTree(const std::string& path) {
  return files::RemoveTree(path);
}

int RemoveLeftoverTempFolders() {
  const std::wstring base = TempBase();
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(win32::LongPath(base + L"instalador-*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  std::vector<std::wstring> leftovers;
  do {
    const long pid = OwnerPid(found.cFileName);
    if (pid > 0 && static_cast<DWORD>(pid) != GetCurrentProcessId() &&
        (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        ProcessGone(static_cast<DWORD>(pid)))
      leftovers.push_back(base + found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  int removed = 0;
  for (const std::wstring& folder : leftovers)
    if (RemoveFolderTree(win32::toUtf8(folder))) ++removed;
  return removed;
}

}  // namespace inst
