#include "platform/ini/profile_text.h"

#include <algorithm>
#include <cstring>

#include "text/ascii.h"
#include "text/cp1252.h"

namespace inst::ini {
namespace {

// The parser is one template over the code unit: char for 8-bit files, char16_t for UTF-16LE
// files, so that a UTF-16 file is edited without a round trip through the 8-bit code page,
// which would lose every character the code page lacks.
template <class U>
using View = std::basic_string_view<U>;
template <class U>
using Text = std::basic_string<U>;

constexpr std::size_t npos = std::string_view::npos;

// Space, tab and vertical tab as Windows documents them; form feed and Ctrl-Z (a DOS end of
// file) as Wine also treats them, which no Windows evidence contradicts.
template <class U>
bool isBlank(U c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == 0x1A;
}

template <class U>
bool isBreak(U c) {
  return c == '\r' || c == '\n';
}

template <class U>
bool sameName(View<U> a, View<U> b) {
  return ascii::EqualIgnoringCase(a, b);
}

template <class U>
View<U> cutAtNul(View<U> v) {
  return v.substr(0, v.find(U(0)));
}

template <class U>
View<U> trimBlanks(View<U> v) {
  while (!v.empty() && isBlank(v.front())) v.remove_prefix(1);
  while (!v.empty() && isBlank(v.back())) v.remove_suffix(1);
  return v;
}

// Section and key arguments lose only spaces: Windows then fails to find a name given with a
// tab around it, and writes such a name with its tab.
std::string_view trimSpaces(std::string_view v) {
  while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
  while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
  return v;
}

std::string_view nameArgument(std::string_view a) {
  return trimSpaces(cutAtNul(a));
}

template <class U>
View<U> unquote(View<U> v) {
  if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\'')) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

// A value as a read returns it: up to a NUL, blanks around it and one pair of quotes removed.
template <class U>
View<U> cleanValue(View<U> raw) {
  return unquote(trimBlanks(cutAtNul(raw)));
}

template <class U>
View<U> cleanName(View<U> raw) {
  return trimBlanks(cutAtNul(raw));
}

// ---- Windows-1252 <-> UTF-16 ----------------------------------------------------------------

template <class U>
Text<U> toUnits(std::string_view bytes) {
  if constexpr (sizeof(U) == 1) {
    return Text<U>(bytes);
  } else {
    return cp1252::toUtf16(bytes);
  }
}

template <class U>
std::string toBytes(View<U> units) {
  if constexpr (sizeof(U) == 1) {
    return std::string(units);
  } else {
    return cp1252::fromUtf16(units);
  }
}

bool isUtf16(std::string_view bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         static_cast<unsigned char>(bytes[1]) == 0xFE;
}

std::u16string decodeUtf16(std::string_view bytes) {
  std::u16string units((bytes.size() - 2) / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                     (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
  }
  return units;
}

std::string encodeUtf16(std::u16string_view units) {
  std::string bytes = "\xFF\xFE";
  bytes.reserve(2 + 2 * units.size());
  for (char16_t u : units) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

// ---- Scanning ---------------------------------------------------------------------------------

// The next position of one code unit, remembered, so that a pass of increasing queries costs
// one search over the text however far apart the occurrences lie.
template <class U>
class Finder {
 public:
  Finder(View<U> text, U unit) : text_(text), unit_(unit) {}

  std::size_t from(std::size_t pos) {
    if (!known_ || pos < asked_ || at_ < pos) at_ = text_.find(unit_, pos);
    known_ = true;
    asked_ = pos;
    return at_;
  }

 private:
  View<U> text_;
  U unit_;
  std::size_t at_ = 0;
  std::size_t asked_ = 0;
  bool known_ = false;
};

struct Line {
  std::size_t begin = 0;
  std::size_t end = 0;   // before the line break
  std::size_t next = 0;  // after the line break; equals `end` for a last line without one
};

enum class Kind { blank, header, comment, key, other };

struct Entry {
  Line line;
  Kind kind = Kind::other;
  std::size_t first = 0;  // first non-blank unit
  std::size_t equals = npos;
};

// One pass over a file's text. Queries must go forward through the text: that keeps every
// operation linear, whatever the lines look like.
template <class U>
class Scanner {
 public:
  explicit Scanner(View<U> text)
      : text_(text),
        cr_(text, '\r'),
        lf_(text, '\n'),
        open_(text, '['),
        close_(text, ']'),
        equals_(text, '=') {}

  View<U> text() const { return text_; }

  Line lineAt(std::size_t begin) {
    const std::size_t end = std::min(cr_.from(begin), lf_.from(begin));
    if (end == npos) return {begin, text_.size(), text_.size()};
    std::size_t next = end + 1;
    if (text_[end] == '\r' && next < text_.size() && text_[next] == '\n') ++next;
    return {begin, end, next};
  }

  Entry entryAt(std::size_t begin) {
    Entry e;
    e.line = lineAt(begin);
    std::size_t k = begin;
    while (k < e.line.end && isBlank(text_[k])) ++k;
    e.first = k;
    if (k == e.line.end) {
      e.kind = Kind::blank;
    } else if (text_[k] == '[') {
      e.kind = Kind::header;
    } else if (text_[k] == ';') {
      e.kind = Kind::comment;
    } else {
      const std::size_t eq = equals_.from(begin);
      if (eq < e.line.end) {
        e.kind = Kind::key;
        e.equals = eq;
      }
    }
    return e;
  }

  // The next header line that starts at or after the line start `from`. Only the brackets are
  // visited, so the many key lines between headers cost no more than a search for '['.
  bool nextHeader(std::size_t from, Entry& header) {
    std::size_t b = from;
    while ((b = open_.from(b)) != npos) {
      std::size_t start = b;
      while (start > from && isBlank(text_[start - 1])) --start;
      if (start == from || isBreak(text_[start - 1])) {
        header.line = lineAt(start);
        header.kind = Kind::header;
        header.first = b;
        return true;
      }
      ++b;
    }
    return false;
  }

  // A header's name ends at the first ']' or, without one, at the end of the line.
  View<U> headerName(const Entry& header) {
    const std::size_t close = close_.from(header.first + 1);
    const std::size_t end = std::min(close, header.line.end);
    return cleanName(text_.substr(header.first + 1, end - header.first - 1));
  }

  View<U> keyName(const Entry& e) { return cleanName(text_.substr(e.first, e.equals - e.first)); }

  View<U> rawValue(const Entry& e) { return text_.substr(e.equals + 1, e.line.end - e.equals - 1); }

  bool findSection(View<U> name, Entry& header) {
    std::size_t from = 0;
    while (nextHeader(from, header)) {
      if (sameName(headerName(header), name)) return true;
      from = header.line.next;
    }
    return false;
  }

 private:
  View<U> text_;
  Finder<U> cr_, lf_, open_, close_, equals_;
};

// The lines of the section whose header is `header`, in order, until the next header.
template <class U, class Visit>
void forEachLine(Scanner<U>& scan, const Entry& header, Visit visit) {
  std::size_t pos = header.line.next;
  while (pos < scan.text().size()) {
    const Entry e = scan.entryAt(pos);
    if (e.kind == Kind::header) return;
    if (!visit(e)) return;
    pos = e.line.next;
  }
}

// ---- Reading ----------------------------------------------------------------------------------

std::uint32_t copyString(std::string_view text, char* buffer, std::uint32_t size) {
  const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
  if (n > 0) std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<std::uint32_t>(n);
}

// Names each ended by a NUL, the list by one more; a list that does not fit is cut and ends
// with two NULs.
std::uint32_t copyList(const std::string& list, char* buffer, std::uint32_t size) {
  if (size == 1) {
    buffer[0] = '\0';
    return 0;
  }
  if (list.size() + 1 <= size) {
    if (!list.empty()) std::memcpy(buffer, list.data(), list.size());
    buffer[list.size()] = '\0';
    if (list.empty()) buffer[1] = '\0';
    return static_cast<std::uint32_t>(list.size());
  }
  std::memcpy(buffer, list.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

// What a read finds: a value, a list of names, or nothing (then the default applies).
struct Found {
  enum class Kind { nothing, value, list } kind = Kind::nothing;
  std::string text;
};

template <class U>
void appendName(std::string& list, View<U> name) {
  // An empty name would end the list early.
  if (name.empty()) return;
  list += toBytes<U>(name);
  list += '\0';
}

template <class U>
Found find(View<U> text, Arg section, Arg key) {
  Found found;
  Scanner<U> scan(text);
  Entry header;
  if (!section) {
    found.kind = Found::Kind::list;
    std::size_t from = 0;
    while (scan.nextHeader(from, header)) {
      appendName<U>(found.text, scan.headerName(header));
      from = header.line.next;
    }
    return found;
  }
  const Text<U> wantedSection = toUnits<U>(nameArgument(*section));
  if (!scan.findSection(wantedSection, header)) return found;
  if (!key) {
    found.kind = Found::Kind::list;
    forEachLine(scan, header, [&](const Entry& e) {
      if (e.kind == Kind::key) appendName<U>(found.text, scan.keyName(e));
      return true;
    });
    return found;
  }
  const Text<U> wantedKey = toUnits<U>(nameArgument(*key));
  forEachLine(scan, header, [&](const Entry& e) {
    if (e.kind != Kind::key || !sameName<U>(scan.keyName(e), wantedKey)) return true;
    found.kind = Found::Kind::value;
    found.text = toBytes<U>(cleanValue(scan.rawValue(e)));
    return false;
  });
  return found;
}

std::string_view argument(Arg a) {
  return a ? cutAtNul(*a) : std::string_view();
}

// ---- Writing ----------------------------------------------------------------------------------

template <class U>
Text<U> crlf() {
  return {U('\r'), U('\n')};
}

template <class U>
struct Change {
  Outcome outcome = Outcome::unchanged;
  Text<U> content;
};

template <class U>
Change<U> splice(View<U> text, std::size_t from, std::size_t to, const Text<U>& insert) {
  Change<U> c;
  c.outcome = Outcome::changed;
  c.content.reserve(text.size() - (to - from) + insert.size());
  c.content.append(text.substr(0, from));
  c.content.append(insert);
  c.content.append(text.substr(to));
  return c;
}

template <class U>
Change<U> removeSection(Scanner<U>& scan, const Entry& header) {
  const View<U> text = scan.text();
  Change<U> c;
  c.outcome = Outcome::changed;
  c.content.reserve(text.size());
  c.content.append(text.substr(0, header.line.begin));
  std::size_t end = header.line.next;
  forEachLine(scan, header, [&](const Entry& e) {
    if (e.kind != Kind::key)
      c.content.append(text.substr(e.line.begin, e.line.next - e.line.begin));
    end = e.line.next;
    return true;
  });
  c.content.append(text.substr(end));
  return c;
}

template <class U>
Change<U> edit(View<U> text, bool utf16, std::string_view section, Arg key, Arg value) {
  Scanner<U> scan(text);
  const Text<U> sectionName = toUnits<U>(section);
  Entry header;
  if (!scan.findSection(sectionName, header)) {
    if (!key || !value) return {};
    // A UTF-16 file holding only its byte-order mark gets a line break first, as on Windows.
    const bool needBreak = text.empty() ? utf16 : !isBreak(text.back());
    Text<U> tail;
    if (needBreak) tail += crlf<U>();
    tail += U('[');
    tail += sectionName;
    tail += U(']');
    tail += crlf<U>();
    tail += toUnits<U>(nameArgument(*key));
    tail += U('=');
    tail += toUnits<U>(cutAtNul(*value));
    tail += crlf<U>();
    return splice<U>(text, text.size(), text.size(), tail);
  }
  if (!key) return removeSection(scan, header);

  const Text<U> keyName = toUnits<U>(nameArgument(*key));
  Entry match;
  bool matched = false;
  Entry anchor = header;
  forEachLine(scan, header, [&](const Entry& e) {
    if (e.kind != Kind::key) return true;
    if (sameName<U>(scan.keyName(e), keyName)) {
      match = e;
      matched = true;
      return false;
    }
    anchor = e;
    return true;
  });

  if (!value) {
    if (!matched) return {};
    return splice<U>(text, match.line.begin, match.line.next, {});
  }
  const Text<U> newValue = toUnits<U>(cutAtNul(*value));
  if (matched) {
    if (cleanValue(scan.rawValue(match)) == View<U>(newValue)) return {};
    // The name keeps its spelling; the blanks around it and the old separator go.
    View<U> name = text.substr(match.first, match.equals - match.first);
    while (!name.empty() && isBlank(name.back())) name.remove_suffix(1);
    Text<U> line(name);
    line += U('=');
    line += newValue;
    if (match.line.next == match.line.end) line += crlf<U>();
    return splice<U>(text, match.line.begin, match.line.end, line);
  }
  Text<U> line;
  const Line& after = anchor.line;
  if (after.next == after.end) line += crlf<U>();
  line += keyName;
  line += U('=');
  line += newValue;
  if (after.next == after.end) {
    line += crlf<U>();
  } else {
    line.append(text.substr(after.end, after.next - after.end));
  }
  return splice<U>(text, after.next, after.next, line);
}

}  // namespace

std::uint32_t getString(FileBytes file, Arg section, Arg key, Arg def, char* buffer,
                        std::uint32_t size) {
  if (size == 0 || buffer == nullptr) return 0;
  Found found;
  if (file) {
    if (isUtf16(*file)) {
      const std::u16string units = decodeUtf16(*file);
      found = find<char16_t>(units, section, key);
    } else {
      found = find<char>(*file, section, key);
    }
  } else if (!section) {
    found.kind = Found::Kind::list;
  }
  switch (found.kind) {
    case Found::Kind::value:
      return copyString(found.text, buffer, size);
    case Found::Kind::list:
      return copyList(found.text, buffer, size);
    case Found::Kind::nothing:
      break;
  }
  std::string_view fallback = argument(def);
  while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
  return copyString(fallback, buffer, size);
}

Edit writeString(FileBytes file, Arg section, Arg key, Arg value) {
  Edit result;
  if (!section) {
    result.outcome = Outcome::invalid;
    return result;
  }
  const std::string_view sectionName = nameArgument(*section);
  if (!file) {
    result.outcome = Outcome::changed;
    // Windows creates the file even for a removal, and leaves it empty.
    if (!key || !value) return result;
    // A new file is an empty 8-bit one with the section appended.
    result.content = edit<char>(std::string_view(), false, sectionName, key, value).content;
    return result;
  }
  if (isUtf16(*file)) {
    const std::u16string units = decodeUtf16(*file);
    Change<char16_t> c = edit<char16_t>(units, true, sectionName, key, value);
    result.outcome = c.outcome;
    if (c.outcome == Outcome::changed) result.content = encodeUtf16(c.content);
    return result;
  }
  Change<char> c = edit<char>(*file, false, sectionName, key, value);
  result.outcome = c.outcome;
  result.content = std::move(c.content);
  return result;
}

}  // namespace inst::ini
