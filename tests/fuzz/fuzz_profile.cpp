// The profile reader and writer on arbitrary bytes, with the invariants a caller relies on:
// reads stay inside the buffer, a written value reads back, a write keeps every other line.
//
// Input: one flag byte, one buffer-size byte, then section, key and value each ended by a 0x01
// byte, then the file. A missing field is empty.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ini/profile_text.h"
#include "settings/conversions.h"

namespace {

using inst::ini::Arg;

void check(bool ok) {
  if (!ok) std::abort();
}

std::string_view field(std::string_view& rest) {
  const std::size_t end = rest.find('\x01');
  std::string_view f = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  return f;
}

// A read into a heap buffer of exactly `size` bytes, so that a byte past it is a fault.
std::string read(inst::ini::FileBytes file, Arg section, Arg key, std::uint32_t size) {
  std::unique_ptr<char[]> buffer(new char[size == 0 ? 1 : size]);
  buffer[0] = 'Q';
  const std::uint32_t n = inst::ini::getString(file, section, key, "dflt", buffer.get(), size);
  if (size == 0) {
    check(n == 0 && buffer[0] == 'Q');
    return {};
  }
  check(n < size);
  check(buffer[n] == '\0');
  return std::string(buffer.get(), n);
}

std::string_view cut(std::string_view s) {
  return s.substr(0, s.find('\0'));
}

std::string_view trimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1A';
}

bool hasOuterBlank(std::string_view s) {
  return !s.empty() && (isBlank(s.front()) || isBlank(s.back()));
}

bool hasBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

// Names and values that the file format can hold so that a read gives them back unchanged.
bool writableSection(std::string_view s) {
  s = trimSpaces(cut(s));
  return !hasBreak(s) && !hasOuterBlank(s) && s.find(']') == std::string_view::npos;
}

bool writableKey(std::string_view k) {
  k = trimSpaces(cut(k));
  return !hasBreak(k) && !hasOuterBlank(k) && k.find('=') == std::string_view::npos &&
         (k.empty() || (k.front() != ';' && k.front() != '['));
}

bool writableValue(std::string_view v) {
  v = cut(v);
  const bool quoted =
      v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\'');
  return v.size() <= 254 && !hasBreak(v) && !hasOuterBlank(v) && !quoted;
}

bool isUtf16(std::string_view f) {
  return f.size() >= 2 && f[0] == '\xFF' && f[1] == '\xFE';
}

// Code units (one byte, or two for a UTF-16 file) that are line breaks.
std::size_t breaks(std::string_view bytes, std::size_t unit) {
  std::size_t n = 0;
  for (std::size_t i = 0; i + unit <= bytes.size(); i += unit) {
    const bool high = unit == 2 && bytes[i + 1] != '\0';
    if (!high && (bytes[i] == '\r' || bytes[i] == '\n')) ++n;
  }
  return n;
}

// Only one line's bytes may go: after the common start and end, at most one CR LF is removed.
void checkOneLineChanged(std::string_view before, std::string_view after) {
  std::size_t unit = 1, start = 0;
  if (isUtf16(before)) {
    unit = 2;
    start = 2;
    before = before.substr(0, before.size() - (before.size() % 2));
  }
  std::size_t prefix = start;
  while (prefix + unit <= before.size() && prefix + unit <= after.size() &&
         before.substr(prefix, unit) == after.substr(prefix, unit)) {
    prefix += unit;
  }
  std::size_t suffix = 0;
  while (suffix + unit <= before.size() - prefix && suffix + unit <= after.size() - prefix &&
         before.substr(before.size() - suffix - unit, unit) ==
             after.substr(after.size() - suffix - unit, unit)) {
    suffix += unit;
  }
  check(breaks(before.substr(prefix, before.size() - prefix - suffix), unit) <= 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const auto flags = data[0];
  const std::uint32_t bufferSize = data[1];
  std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::string_view section = field(rest);
  const std::string_view key = field(rest);
  const std::string_view value = field(rest);
  const std::string_view bytes = rest;
  const inst::ini::FileBytes file =
      (flags & 1) ? inst::ini::FileBytes() : inst::ini::FileBytes(bytes);
  const Arg sectionArg = (flags & 2) ? Arg() : Arg(section);
  const Arg keyArg = (flags & 4) ? Arg() : Arg(key);
  const Arg valueArg = (flags & 8) ? Arg() : Arg(value);

  read(file, sectionArg, keyArg, bufferSize);
  read(file, section, key, 255);

  const double number = inst::LeadingNumber(value);
  check(!std::isnan(number));
  inst::ToInt16(number);
  inst::RoundHalfEven(number);
  check(inst::ToFlag(value) == (number != 0));

  const inst::ini::Edit edit = inst::ini::writeString(file, sectionArg, keyArg, valueArg);
  check((edit.outcome == inst::ini::Outcome::invalid) == !sectionArg);
  if (edit.outcome != inst::ini::Outcome::changed) return 0;
  const std::string& after = edit.content;
  if (!keyArg) return 0;  // the whole section goes
  if (!valueArg) {
    // A removal that changes the file takes a line away.
    if (file) check(after.size() < file->size());
  } else if (writableSection(section) && writableKey(key) && writableValue(value)) {
    check(read(after, section, key, 255) == cut(value));
    // The value now reads as written, so writing it again changes nothing.
    check(inst::ini::writeString(after, section, key, value).outcome ==
          inst::ini::Outcome::unchanged);
  }
  if (file) checkOneLineChanged(*file, after);
  return 0;
}
