#include "cli/options.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <utility>

#include "text/ascii.h"

namespace inst::cli {
namespace {

// What an option may go with. A new option is one row of kOptions; its rule says which
// conflicts it takes part in.
enum class Rule {
  Free,             // anything
  Alone,            // nothing else (--help, --version)
  PackageDirOnly,   // nothing but --package-dir (--check)
  Unattended,       // no --ui, and no other unattended mode (--silent)
  NeedsUnattended,  // only with an unattended mode (--versions, --dry-run)
};

struct Row {
  std::string_view name;
  std::string Options::*value;  // null for an option that takes no value
  Rule rule;
};

// In the order their conflicts are checked: the first conflict found is the one reported.
constexpr Row kOptions[] = {
    {"help", nullptr, Rule::Alone},
    {"version", nullptr, Rule::Alone},
    {"check", nullptr, Rule::PackageDirOnly},
    {"bundle", &Options::bundle, Rule::PackageDirOnly},
    {"silent", nullptr, Rule::Unattended},
    {"uninstall", nullptr, Rule::Unattended},
    {"ui", &Options::ui, Rule::Free},
    {"package-dir", &Options::packageDir, Rule::Free},
    {"log", &Options::log, Rule::Free},
    {"versions", &Options::versions, Rule::NeedsUnattended},
    {"dry-run", nullptr, Rule::NeedsUnattended},
};

// Windows' short forms, by the long name each stands for.
constexpr std::pair<std::string_view, std::string_view> kWindowsShort[] = {{"s", "silent"},
                                                                           {"?", "help"}};

// The window front ends: with them --uninstall is the uninstall window.
bool IsWindowUi(std::string_view ui) {
  return ui == "win32" || ui == "gtk";
}

const Row* Find(std::string_view name) {
  for (const Row& row : kOptions)
    if (row.name == name) return &row;
  return nullptr;
}

// The long name an argument spells, "" when it is no option.
std::string OptionName(std::string_view arg, Syntax syntax, std::string_view& value,
                       bool& hasValue) {
  const bool windows = syntax == Syntax::Windows;
  std::string_view body;
  if (arg.starts_with("--")) {
    body = arg.substr(2);
  } else if (windows && arg.starts_with("/") && arg.size() > 1) {
    body = arg.substr(1);
  } else if (arg == "-h") {
    return "help";
  } else {
    return "";
  }
  const std::size_t equals = body.find('=');
  hasValue = equals != std::string_view::npos;
  if (hasValue) value = body.substr(equals + 1);
  std::string name(body.substr(0, equals));
  if (!windows) return name;
  name = ascii::Lower(name);
  for (const auto& [shortName, longName] : kWindowsShort)
    if (name == shortName) return std::string(longName);
  return name;
}

std::string Dashed(std::string_view name) {
  return "--" + std::string(name);
}

// "--silent", or "--silent ou --uninstall" when there are several unattended modes.
std::string UnattendedModes() {
  std::string names;
  for (const Row& row : kOptions) {
    if (row.rule != Rule::Unattended) continue;
    if (!names.empty()) names += " ou ";
    names += Dashed(row.name);
  }
  return names;
}

std::string Conflict(const Options& options) {
  const std::size_t count = options.given.size();
  std::string mode;  // the unattended mode given, if any
  for (const Row& row : kOptions) {
    if (!options.has(row.name)) continue;
    switch (row.rule) {
      case Rule::Alone:
        if (count > 1) return Dashed(row.name) + " não vai com nenhuma outra opção";
        break;
      case Rule::PackageDirOnly:
        if (count > 1 + (options.has("package-dir") ? 1 : 0))
          return Dashed(row.name) + " não vai com nenhuma outra opção além de --package-dir";
        break;
      case Rule::Unattended:
        if (options.has("ui") && !(row.name == "uninstall" && IsWindowUi(options.ui)))
          return Dashed(row.name) + " e --ui não podem ir juntas";
        if (!mode.empty()) return mode + " e " + Dashed(row.name) + " não podem ir juntas";
        mode = Dashed(row.name);
        break;
      default:
        break;
    }
  }
  return "";
}

std::string Misplaced(const Options& options) {
  bool unattended = false;
  for (const Row& row : kOptions)
    unattended |= row.rule == Rule::Unattended && options.has(row.name);
  // --uninstall with a window: the user chooses the versions, and the window writes.
  if (options.has("uninstall") && options.has("ui")) {
    for (const Row& row : kOptions)
      if (row.rule == Rule::NeedsUnattended && options.has(row.name))
        return Dashed(row.name) + " não vai com a janela de remoção (--uninstall --ui)";
    return "";
  }
  for (const Row& row : kOptions)
    if (row.rule == Rule::NeedsUnattended && options.has(row.name) && !unattended)
      return Dashed(row.name) + " só vai com " + UnattendedModes();
  return "";
}

bool HasAName(const std::string& list) {
  return list.find_first_not_of(", \t") != std::string::npos;
}

std::string Read(std::span<const std::string_view> args, Syntax syntax, Options& options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    std::string_view value;
    bool hasValue = false;
    const std::string name = OptionName(arg, syntax, value, hasValue);
    if (name.empty()) return "argumento inesperado: " + std::string(arg);
    const Row* row = Find(name);
    if (row == nullptr) return "opção desconhecida: " + std::string(arg);
    if (!options.given.insert(name).second) return Dashed(name) + " foi dada duas vezes";
    if (row->value == nullptr) {
      if (hasValue) return Dashed(name) + " não leva valor";
      continue;
    }
    if (!hasValue) {
      // "--log --silent" leaves the log without a name rather than naming it "--silent".
      if (i + 1 >= args.size() || args[i + 1].starts_with("--"))
        return Dashed(name) + " precisa de um valor";
      value = args[++i];
    }
    options.*(row->value) = std::string(value);
    // An empty list of versions has its own message, once the conflicts are known.
    if (value.empty() && name != "versions") return Dashed(name) + " precisa de um valor";
  }
  return "";
}

}  // namespace

Parsed Parse(std::span<const std::string_view> args, Syntax syntax,
             std::span<const std::string_view> frontEnds) {
  Parsed parsed;
  Options& options = parsed.options;
  parsed.error = Read(args, syntax, options);
  if (parsed.error.empty()) parsed.error = Conflict(options);
  if (!parsed.error.empty()) return parsed;
  // The silent front end is the unattended installation by another name.
  if (options.ui == "silent") {
    options.ui.clear();
    options.given.insert("silent");
  }
  parsed.error = Misplaced(options);
  if (!parsed.error.empty()) return parsed;
  if (options.has("versions") && !HasAName(options.versions)) {
    parsed.error = "--versions precisa de pelo menos um nome de versão, ou all";
  } else if (!options.ui.empty() &&
             std::find(frontEnds.begin(), frontEnds.end(), options.ui) == frontEnds.end()) {
    parsed.error = "esta compilação não tem a interface '" + options.ui + "'";
  }
  return parsed;
}

}  // namespace inst::cli
