// The C++ library's own error paths (a string past its maximum size, a position past its end),
// defined here so that the library's are not linked. Theirs throw std::logic_error and its
// kin, whose copy-on-write message strings pull about 30 KB of a second string implementation
// into a program that must stay small. These throw an exception of the same meaning, which
// every handler of ours catches as std::exception, as it caught theirs.
#include <cstdarg>
#include <cstddef>
#include <exception>
#include <new>
#include <string>

namespace inst::win32 {
namespace {

class LibraryError final : public std::exception {
 public:
  explicit LibraryError(const char* what) { append(what ? what : ""); }
  void append(const char* text) {
    while (*text && used_ + 1 < sizeof text_) text_[used_++] = *text++;
    text_[used_] = '\0';
  }
  const char* what() const noexcept override { return text_; }
  char text_[256] = "";
  std::size_t used_ = 0;
};

}  // namespace
}  // namespace inst::win32

namespace std {

void __throw_bad_alloc() {
  throw bad_alloc();
}
void __throw_bad_array_new_length() {
  throw bad_array_new_length();
}
void __throw_logic_error(const char* what) {
  throw inst::win32::LibraryError(what);
}
void __throw_length_error(const char* what) {
  throw inst::win32::LibraryError(what);
}
void __throw_invalid_argument(const char* what) {
  throw inst::win32::LibraryError(what);
}
void __throw_out_of_range(const char* what) {
  throw inst::win32::LibraryError(what);
}
void __throw_out_of_range_fmt(const char* format, ...) {
  // The library's own messages hold "%s", "%zu" and "%%" alone, all its own formatter reads.
  inst::win32::LibraryError error("");
  va_list args;
  va_start(args, format);
  for (const char* at = format; *at; ++at) {
    const char one[2] = {*at, '\0'};
    if (at[0] == '%' && at[1] == 's') {
      error.append(va_arg(args, const char*));
      ++at;
    } else if (at[0] == '%' && at[1] == 'z' && at[2] == 'u') {
      error.append(std::to_string(va_arg(args, std::size_t)).c_str());
      at += 2;
    } else if (at[0] == '%' && at[1] == '%') {
      error.append("%");
      ++at;
    } else {
      error.append(one);
    }
  }
  va_end(args);
  throw error;
}

}  // namespace std
