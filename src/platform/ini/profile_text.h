#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace inst::ini {

// The private-profile functions as pure functions over a file's bytes, behaving as Windows does
// (where Wine differs, Windows is followed).
//
// An argument of the functions; nullopt stands for a null pointer. Like the C strings that the
// Windows functions take, an argument ends at its first NUL. Texts are in Windows-1252.
using Arg = std::optional<std::string_view>;

// A file's whole content; nullopt when the file does not exist.
using FileBytes = std::optional<std::string_view>;

// GetPrivateProfileStringA. Copies at most size - 1 characters and a NUL into `buffer` and
// returns the count copied, NUL not counted; with size 0 it touches nothing and returns 0.
// - section and key given: the value of the first matching key in the first section of that
//   name (names compared ignoring ASCII case, spaces around the arguments ignored); the blanks
//   around it and one pair of matching outer quotes removed; `def` (trailing spaces removed,
//   empty when null) when the section or the key is missing.
// - key null: the key names of the section, each ended by a NUL, the list ended by one more;
//   `def` when the section is missing. Section null: every section name, duplicates too.
//   A list that does not fit is cut and ended by two NULs, and size - 2 is returned.
// A file that begins with the UTF-16LE byte-order mark is read as UTF-16 and its text converted
// to Windows-1252 ('?' for characters outside it); any other file is read as 8-bit text.
std::uint32_t getString(FileBytes file, Arg section, Arg key, Arg def, char* buffer,
                        std::uint32_t size);

// What a write does to the file.
enum class Outcome {
  unchanged,  // the file keeps its content (or stays missing)
  changed,    // the file gets `Edit::content` (created when missing)
  invalid,    // the call names no section: nothing is written and the call fails
};

struct Edit {
  Outcome outcome = Outcome::unchanged;
  std::string content;  // the whole new file when changed
};

// WritePrivateProfileStringA: the file's new content. The file is edited in place: every line
// other than the one rewritten, added or removed keeps its bytes and line end.
// - An existing key (first match in the first matching section) gets "name=value" on its line,
//   keeping its spelling and line end (CRLF when it had none). Writing the value the key
//   already reads as leaves the file unchanged.
// - A missing key goes right after the section's last key line (before trailing comments and
//   blank lines), ended like the line before it.
// - A missing section is appended as "[Section]" CRLF "key=value" CRLF, after a CRLF when the
//   file does not end with a line break.
// - Value null: the key's line is removed. Key null: the section's header and key lines are
//   removed; comments and other lines stay. Either on a missing file creates it empty.
// - Section and key lose the spaces around them; the value is written as given.
// A UTF-16LE file stays UTF-16LE (a trailing odd byte, which is no character, is dropped).
Edit writeString(FileBytes file, Arg section, Arg key, Arg value);

}  // namespace inst::ini
