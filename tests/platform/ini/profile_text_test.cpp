// The portable profile code on inputs the vectors do not cover: huge and broken files, small
// buffers for lists, and the bytes that a write leaves alone. Random files are the fuzzer's.
#include <gtest/gtest.h>

#include <algorithm>
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
      {"UTF-16LE characters outside the code page", utf16(u"[S]\r\nk=\u4E2D\U0001F600.\r\n"), "S",
       "k", "??."},
      {"UTF-16LE lone surrogates", utf16(u"[S]\r\nk=\xD800.\xDC00\r\n"), "S", "k", "?.?"},
      {"UTF-16LE odd final byte", utf16(u"[S]\r\nk=v") + "\x41", "S", "k", "v"},
      {"UTF-16LE NUL units", utf16(u"[S]\r\nk=a\0b\r\n"s), "S", "k", "a"},
      {"byte-order mark alone", "\xFF\xFE", "S", "k", "DEF"},
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
