#include "installer/info_window.h"

#include "installer/names.h"
#include "package/layout.h"
#include "platform/code_page.h"
#include "settings/ini_access.h"
#include "settings/setup_keys.h"
#include "text/utf8.h"

namespace inst {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

std::string DecodeInfoText(std::string_view bytes) {
  if (utf8::HasNonAscii(bytes) && utf8::IsValid(bytes)) {
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
  const std::string path = package::InfoTextPath(packageFolder, fileName);
  if (!fs.normalFileExists(path)) return;
  std::string bytes;
  // A file that exists but cannot be read loads nothing, like a missing one.
  if (!fs.readFile(path, bytes)) return;
  Window& window = form2();
  window.control(form2::kText).text = DecodeInfoText(bytes);
}

}  // namespace inst
