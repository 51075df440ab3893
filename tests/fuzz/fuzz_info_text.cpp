// The information-text decoder on arbitrary bytes: whatever the file holds, the text shown is
// valid UTF-8, and plain ASCII comes through unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "installer/info_window.h"

namespace {

bool ValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const int len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (len == 0 || c > 0xF4 || i + static_cast<std::size_t>(len) > s.size()) return false;
    for (int k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80)
        return false;
    i += static_cast<std::size_t>(len);
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = inst::DecodeInfoText(bytes);
  if (!ValidUtf8(text)) std::abort();
  bool ascii = true;
  for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii && text != bytes) std::abort();
  return 0;
}
