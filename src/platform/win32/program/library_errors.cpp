// The C++ library's own error paths (a string past its maximum size, a position past its end),
// defined here so that the library's are not linked. Theirs throw std::logic_error and its
// kin, whose copy-on-write message strings pull about 30 KB of a second string implementation
// into a program that must stay small. These throw an exception of the same meaning, which
// every handler of ours catches as std::exception, as it caught theirs.
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <new>

namespace inst::win32 {
namespace {

class LibraryError final : public std::exception {
 public:
  explicit LibraryError(const char* what) {
    std::snprintf(text_, sizeof text_, "%s", what ? what : "");
  }
  const char* what() const noexcept override { return text_; }
  char text_[256];
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
  inst::win32::LibraryError error("");
  va_list args;
  va_start(args, format);
  std::vsnprintf(error.text_, sizeof error.text_, format, args);
  va_end(args);
  throw error;
}

}  // namespace std
