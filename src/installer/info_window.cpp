#include "installer/info_window.h"

#include "installer/names.h"
#include "platform/code_page.h"
#include "settings/ini_access.h"
#include "settings/setup_keys.h"

namespace inst {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF),
// and whether any of them is outside ASCII.
bool IsUtf8(std::string_view s, bool& nonAscii) {
  nonAscii = false;
  std::size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    nonAscii = true;
    std::size_t len;
    char32_t min;
    if ((b & 0xE0) == 0xC0) {
      len = 2, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      len = 3, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      len = 4, min = 0x10000;
    } else {
      return false;
    }
    if (i + len > s.size()) return false;
    char32_t cp = b & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
      auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

}  // namespace

std::string DecodeInfoText(std::string_view bytes) {
  bool nonAscii = false;
  if (IsUtf8(bytes, nonAscii) && nonAscii) {
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
    return std::string(bytes);
  }
  return fromAnsi(bytes);
}

void LoadForm2(Window& form2, Profile& profile, const std::string& packageFolder) {
  const std::string infoIniPath = packageFolder + "\\setup.ini";
  form2.caption = ReadIniValue(profile, setup::kInfo, setup::kInfoTitle, infoIniPath);
  form2.cancelButton = std::string(form2::kExit);
  form2.width = 10000;
  form2.height = 7000;
  Control& text = form2.control(form2::kText);
  Control& sair = form2.control(form2::kExit);
  text.top = 100;
  text.left = 100;
  text.width = form2.width - 200;
  text.height = form2.height - 2000;
  sair.top = text.height + text.top + 300;
  sair.left = static_cast<float>(text.width / 2 + text.left - sair.width / 2);
}

void LoadInfoFile(FileSystem& fs, const std::string& packageFolder, const std::string& fileName,
                  const std::function<Window&()>& form2) {
  const std::string path = packageFolder + "\\Info\\" + fileName;
  if (!fs.normalFileExists(path)) return;
  std::string bytes;
  // A file that exists but cannot be read loads nothing, like a missing one.
  if (!fs.readFile(path, bytes)) return;
  Window& window = form2();
  window.control(form2::kText).text = DecodeInfoText(bytes);
}

}  // namespace inst
