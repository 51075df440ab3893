#pragma once

#include <set>
#include <span>
#include <string>
#include <string_view>

namespace inst::cli {

// How options are spelled. Every platform takes "--name"; Windows programs also take "/name" in
// any case, and the short forms administrators know from other installers (/S, /?).
enum class Syntax { Posix, Windows };

struct Options {
  std::string ui;  // empty: the platform's desktop front end, or headless where none is built
  std::string packageDir;
  std::string log;
  std::string versions;
  std::string bundle;                        // the file --bundle writes
  std::set<std::string, std::less<>> given;  // the options named, by their long name
  bool has(std::string_view name) const { return given.contains(name); }
};

struct Parsed {
  Options options;
  std::string error;  // empty when the command line is sound
  bool ok() const { return error.empty(); }
};

// Reads the arguments after the program's name. `frontEnds` are the names --ui takes.
Parsed Parse(std::span<const std::string_view> args, Syntax syntax,
             std::span<const std::string_view> frontEnds);

}  // namespace inst::cli
