#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

#include "platform/win32/wide.h"

namespace inst {
namespace {

constexpr std::string_view kHive = "HKCU\\";

// The key below HKEY_CURRENT_USER; empty for a key of any other hive, which is never written.
std::wstring SubKey(const std::string& key) {
  if (key.size() <= kHive.size() || !key.starts_with(kHive)) return {};
  return win32::toWide(std::string_view(key).substr(kHive.size()));
}

Status Failed(const std::string& key, LONG code) {
  return Status::failure(key, win32::errorText(static_cast<unsigned long>(code)));
}

}  // namespace

Status Win32Registry::writeKey(const std::string& key, const std::vector<RegistryValue>& values) {
  const std::wstring sub = SubKey(key);
  if (sub.empty()) return Status::failure(key, "só o registro do próprio usuário é gravado");
  HKEY handle = nullptr;
  LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &handle, nullptr);
  if (rc != ERROR_SUCCESS) return Failed(key, rc);
  // What an older installation wrote and this one does not go first.
  std::vector<std::wstring> stale;
  wchar_t name[16384];
  for (DWORD i = 0;; ++i) {
    DWORD length = static_cast<DWORD>(std::size(name));
    if (RegEnumValueW(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    const std::string found = win32::toUtf8(std::wstring_view(name, length));
    if (std::none_of(values.begin(), values.end(),
                     [&](const RegistryValue& v) { return v.name == found; }))
      stale.emplace_back(name, length);
  }
  for (const std::wstring& each : stale)
    if (rc == ERROR_SUCCESS) rc = RegDeleteValueW(handle, each.c_str());
  for (const RegistryValue& value : values) {
    if (rc != ERROR_SUCCESS) break;
    const std::wstring valueName = win32::toWide(value.name);
    if (value.isNumber) {
      const DWORD number = value.number;
      rc = RegSetValueExW(handle, valueName.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&number), sizeof number);
    } else {
      const std::wstring text = win32::toWide(value.text);
      rc = RegSetValueExW(handle, valueName.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
  }
  if (rc == ERROR_SUCCESS) rc = RegFlushKey(handle);
  RegCloseKey(handle);
  return rc == ERROR_SUCCESS ? Status::success() : Failed(key, rc);
}

Status Win32Registry::removeKey(const std::string& key) {
  const std::wstring sub = SubKey(key);
  if (sub.empty()) return Status::failure(key, "só o registro do próprio usuário é gravado");
  const LONG rc = RegDeleteKeyW(HKEY_CURRENT_USER, sub.c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? Status::success() : Failed(key, rc);
}

bool Win32Registry::keyExists(const std::string& key) {
  const std::wstring sub = SubKey(key);
  HKEY handle = nullptr;
  if (sub.empty() ||
      RegOpenKeyExW(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
    return false;
  RegCloseKey(handle);
  return true;
}

}  // namespace inst
