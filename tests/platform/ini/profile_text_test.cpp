// The portable profile code on inputs the vectors do not cover: huge, broken and random files.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/ini/profile_text.h"

namespace inst {
namespace {

using namespace std::string_literals;

constexpr char kGuardByte = '\x5A';

// Reads with a buffer of `size` followed by guard bytes that must stay untouched.
std::string read(ini::FileBytes file, ini::Arg section, ini::Arg key, std::uint32_t size = 255,
                 ini::Arg def = "DEF") {
  std::string buffer(size + 8, kGuardByte);
  const std::uint32_t n = ini::getString(file, section, key, def, buffer.data(), size);
  EXPECT_EQ(buffer.substr(size), std::string(8, kGuardByte)) << "wrote past the buffer";
  if (size == 0) {
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(buffer, std::string(8, kGuardByte));
    return {};
  }
  EXPECT_LT(n, size);
  EXPECT_EQ(buffer[n], '\0');
  return buffer.substr(0, n);
}

std::string write(ini::FileBytes file, ini::Arg section, ini::Arg key, ini::Arg value) {
  ini::Edit edit = ini::writeString(file, section, key, value);
  EXPECT_NE(edit.outcome, ini::Outcome::invalid);
  if (edit.outcome == ini::Outcome::changed) return edit.content;
  return file ? std::string(*file) : std::string();
}

std::string utf16(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t u : text) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

const std::string kHugeLine(10u << 20, 'x');

struct ReadCase {
  const char* name;
  std::string file;
  const char* section;
  const char* key;
  std::string value;
};

TEST(ProfileText, ReadsBrokenAndUnusualFiles) {
  const ReadCase cases[] = {
      {"10 MB line before the section", kHugeLine + "\r\n[S]\r\nk=v\r\n", "S", "k", "v"},
      {"10 MB value is cut to 254", "[S]\r\nk=" + kHugeLine + "\r\n", "S", "k",
       std::string(254, 'x')},
      {"10 MB key line before the key", "[S]\r\n" + kHugeLine + "=1\r\nk=v", "S", "k", "v"},
      {"10 MB header name", "[" + kHugeLine + "]\r\nk=v\r\n[S]\r\nk=w\r\n", "S", "k", "w"},
      {"10 MB line without a break, no section", kHugeLine, "S", "k", "DEF"},
      {"only NULs", std::string(4096, '\0'), "S", "k", "DEF"},
      {"NUL inside the key name ends it", "[S]\r\nk\0x=v\r\n"s, "S", "k", "v"},
      {"CR-only lines", "[S]\rk=v\rk2=w", "S", "k2", "w"},
      {"header line without '=' or ']'", "[S\r\nk=v\r\n", "S", "k", "v"},
      {"lines without '='", "[S]\r\nalpha\r\n\r\nbeta gamma\r\nk = v", "S", "k", "v"},
      {"UTF-8 BOM sticks to the first line", "\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", "k", "DEF"},
      {"UTF-8 BOM before a blank line", "\xEF\xBB\xBF\r\n[S]\r\nk=v\r\n", "S", "k", "v"},
      {"UTF-16LE file", utf16(u"[S]\r\nk=a\u00E7\u00E3o \u20AC\r\n"), "S", "k", "a\xE7\xE3o \x80"},
      {"UTF-16LE characters outside the code page", utf16(u"[S]\r\nk=\u4E2D\U0001F600.\r\n"), "S",
       "k", "??."},
      {"UTF-16LE lone surrogates", utf16(u"[S]\r\nk=\xD800.\xDC00\r\n"), "S", "k", "?.?"},
      {"UTF-16LE odd final byte", utf16(u"[S]\r\nk=v") + "\x41", "S", "k", "v"},
      {"UTF-16LE NUL units", utf16(u"[S]\r\nk=a\0b\r\n"s), "S", "k", "a"},
      {"byte-order mark alone", "\xFF\xFE", "S", "k", "DEF"},
      {"duplicate sections and keys", "[s]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\nj=4\r\n", "S", "k", "1"},
      {"second copy of a section is not searched", "[s]\r\nk=1\r\n[S]\r\nj=4\r\n", "S", "j", "DEF"},
      {"300 characters", "[S]\r\nk=" + std::string(300, '7') + "\r\n", "S", "k",
       std::string(254, '7')},
      {"quoted 300 characters", "[S]\r\nk=\"" + std::string(300, '7') + "\"\r\n", "S", "k",
       std::string(254, '7')},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(read(c.file, c.section, c.key), c.value) << c.name;
  }
}

TEST(ProfileText, SmallBuffersAndListsStayInside) {
  const std::string file = "[S]\r\nalpha=1\r\nbeta=2\r\n[T]\r\n";
  struct Case {
    ini::Arg section, key;
    std::uint32_t size;
    std::string want;
  };
  const Case cases[] = {
      {"S", "alpha", 0, ""},
      {"S", "alpha", 1, ""},
      {"S", "alpha", 2, "1"},
      {"S", std::nullopt, 255, "alpha\0beta\0"s},
      {"S", std::nullopt, 8, "alpha\0"s},  // cut: 6 bytes, then two NULs
      {"S", std::nullopt, 2, ""},
      {std::nullopt, "k", 255, "S\0T\0"s},
      {std::nullopt, "k", 3, "S"},
      {"T", std::nullopt, 255, ""},
      {"U", std::nullopt, 255, "DEF"},
  };
  for (const Case& c : cases) {
    std::string buffer(c.size + 8, kGuardByte);
    const std::uint32_t n = ini::getString(file, c.section, c.key, "DEF", buffer.data(), c.size);
    EXPECT_EQ(buffer.substr(0, n), c.want) << c.size;
    EXPECT_EQ(buffer.substr(c.size), std::string(8, kGuardByte)) << c.size;
    // A list always ends with two NULs where there is room for them.
    if (!c.key && c.size >= 2 && c.want != "DEF") {
      const std::string end = buffer.substr(0, std::min<std::size_t>(c.size, n + 2));
      EXPECT_NE(end.find("\0\0"s), std::string::npos) << c.size;
    }
  }
  EXPECT_EQ(read(std::nullopt, std::nullopt, "k"), "");
  EXPECT_EQ(read(std::nullopt, "S", "k", 255, std::nullopt), "");
}

struct WriteCase {
  const char* name;
  std::optional<std::string> file;
  std::optional<std::string> section, key, value;
  std::string want;
};

ini::Arg view(const std::optional<std::string>& s) {
  if (!s) return std::nullopt;
  return std::string_view(*s);
}

TEST(ProfileText, WritesTouchOnlyTheirLine) {
  const std::string odd = "; top\n\n[A]\r\n  x = 1 ; c\r\n\t\r\n[S]\rk=old\r\r\n; end\n";
  const WriteCase cases[] = {
      {"replace keeps every other byte", odd, "S", "K", "new",
       "; top\n\n[A]\r\n  x = 1 ; c\r\n\t\r\n[S]\rk=new\r\r\n; end\n"},
      {"add goes after the last key, before the comment", odd, "S", "n", "1",
       "; top\n\n[A]\r\n  x = 1 ; c\r\n\t\r\n[S]\rk=old\rn=1\r\r\n; end\n"},
      {"add to a section of no keys goes under its header", "[S]\n; c\n", "S", "k", "v",
       "[S]\nk=v\n; c\n"},
      {"add to a header at the end of the file", "[S]", "S", "k", "v", "[S]\r\nk=v\r\n"},
      {"add after a last key without a line end", "[S]\nk=1", "S", "j", "2", "[S]\nk=1\r\nj=2\r\n"},
      {"remove a last key without a line end", "[S]\nj=2\nk=1"s, "S", "k", std::nullopt,
       "[S]\nj=2\n"},
      {"remove a missing key changes nothing", "[S]\nj=2", "S", "k", std::nullopt, "[S]\nj=2"},
      {"remove a section keeps comments and others", "[S]\nk=1\n; c\njunk\n[T]\nt=1\n", "S",
       std::nullopt, std::nullopt, "; c\njunk\n[T]\nt=1\n"},
      {"the header without ']' is the section", "[S  \nk=1\n", "S", "k", "2", "[S  \nk=2\n"},
      {"NUL bytes elsewhere are kept", "a\0b\r\n[S]\r\nk=1\r\nz\0\r\n"s, "S", "k", "2",
       "a\0b\r\n[S]\r\nk=2\r\nz\0\r\n"s},
      {"the 10 MB line stays whole", "[S]\r\nk=1\r\n" + kHugeLine, "S", "k", "2",
       "[S]\r\nk=2\r\n" + kHugeLine},
      {"a new section after a 10 MB line", kHugeLine, "S", "k", "v",
       kHugeLine + "\r\n[S]\r\nk=v\r\n"},
      {"UTF-16 stays UTF-16 and keeps what the code page lacks",
       utf16(u"[S]\r\nz=\u4E2D\U0001F600\r\nk=1\r\n"), "S", "k", "\xE7",
       utf16(u"[S]\r\nz=\u4E2D\U0001F600\r\nk=\u00E7\r\n")},
      {"UTF-16 odd final byte is dropped", utf16(u"[S]\r\nk=1\r\n") + "\x0D", "S", "k", "2",
       utf16(u"[S]\r\nk=2\r\n")},
      {"arguments end at a NUL", std::nullopt, "S\0X"s, " k\0Y"s, "v\0Z"s, "[S]\r\nk=v\r\n"},
  };
  for (const WriteCase& c : cases) {
    ini::FileBytes file;
    if (c.file) file = *c.file;
    const std::string got = write(file, view(c.section), view(c.key), view(c.value));
    EXPECT_TRUE(got == c.want) << c.name;
  }
  EXPECT_EQ(ini::writeString("[S]\r\n", std::nullopt, "k", "v").outcome, ini::Outcome::invalid);
}

// Random files built from the characters that matter to the format, read and written with
// random names: reads stay inside the buffer, a write of a value that can be read back reads
// back, and every line but the one written keeps its bytes.
TEST(ProfileText, RandomFilesKeepTheInvariants) {
  std::mt19937 random(20240607);
  const std::string alphabet = "[]=;\"' \t\r\n\r\nSsKk\0\x1A\xFF\xFE\xE7"s;
  auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  auto randomText = [&](std::size_t maxLength) {
    std::string s;
    for (std::size_t n = pick(maxLength + 1); n > 0; --n) {
      s += pick(4) == 0 ? static_cast<char>(pick(256)) : alphabet[pick(alphabet.size())];
    }
    return s;
  };
  const std::vector<std::string> names = {"S", "s", "K", "k", "Sk", " S ", "\tS"};
  for (int round = 0; round < 3000; ++round) {
    std::string file = randomText(120);
    if (round % 5 == 0) file = "\xFF\xFE" + file;
    const std::string& section = names[pick(names.size())];
    const std::string& key = names[pick(names.size())];
    for (std::uint32_t size : {0u, 1u, 2u, 3u, 255u}) {
      read(file, section, key, size);
      read(file, section, std::nullopt, size);
      read(file, std::nullopt, key, size);
    }
    const std::string value = round % 3 == 0 ? randomText(8) : "v" + std::to_string(round);
    const bool remove = round % 7 == 0;
    ini::Edit edit = ini::writeString(file, section, key, remove ? ini::Arg() : ini::Arg(value));
    ASSERT_NE(edit.outcome, ini::Outcome::invalid);
    const std::string after = edit.outcome == ini::Outcome::changed ? edit.content : file;

    // The names as the file keeps them: without the spaces, tabs stay (and then never match).
    const bool plainNames =
        section.find('\t') == std::string::npos && key.find('\t') == std::string::npos;
    const bool plainValue = value.find_first_of("\r\n\0\t\v\f\x1A\"' "s) == std::string::npos;
    if (plainNames && (plainValue || remove)) {
      // After a removal a later duplicate of the key may show through; the removed line's
      // value must not.
      if (!remove) {
        EXPECT_EQ(read(after, section, key), value) << round;
      }
      if (remove && edit.outcome == ini::Outcome::changed) {
        EXPECT_LT(after.size(), file.size()) << round;
      }
    }
    const bool wide = file.size() >= 2 && file[0] == '\xFF' && file[1] == '\xFE';
    if (edit.outcome != ini::Outcome::changed || wide) continue;
    // Only one line's bytes may go: what is removed holds at most one line break (CR LF).
    std::size_t prefix = 0;
    while (prefix < file.size() && prefix < after.size() && file[prefix] == after[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (suffix < file.size() - prefix && suffix < after.size() - prefix &&
           file[file.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
      ++suffix;
    }
    const std::string removed = file.substr(prefix, file.size() - prefix - suffix);
    EXPECT_LE(std::count_if(removed.begin(), removed.end(),
                            [](char c) { return c == '\r' || c == '\n'; }),
              2)
        << round;
  }
}

// Shapes that would make a naive scanner quadratic; each is a few megabytes.
TEST(ProfileText, PathologicalShapesFinish) {
  std::string brackets, noEquals, blanks;
  for (int i = 0; i < 500000; ++i) brackets += "[\n";
  noEquals = "[S]\n";
  for (int i = 0; i < 500000; ++i) noEquals += "ab\n";
  noEquals += "k=v=w";
  for (int i = 0; i < 200000; ++i) blanks += "          [ ";
  const std::string files[] = {brackets, noEquals, blanks, "[S]\n" + blanks};
  for (const std::string& f : files) {
    read(f, "S", "k");
    read(f, "S", std::nullopt);
    read(f, std::nullopt, "k");
    const std::string after = write(f, "S", "k", "z");
    EXPECT_EQ(read(after, "S", "k"), "z");
  }
}

}  // namespace
}  // namespace inst
