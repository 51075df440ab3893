#include "cli/usage.h"

namespace inst::cli {

std::string Usage(Syntax syntax, std::span<const std::string_view> frontEnds) {
  std::string names;
  for (std::string_view name : frontEnds) {
    if (!names.empty()) names += '|';
    names += name;
  }
  std::string text =
      "usage: instalador [--ui=" + names +
      "] [--package-dir DIR] [--log FILE]\n"
      "       instalador --silent [--versions LIST|all] [--dry-run] [--package-dir DIR] "
      "[--log FILE]\n"
      "       instalador --check [--package-dir DIR]\n"
      "       instalador --version | --help\n"
      "\n"
      "  --ui=NAME          the front end; by default the desktop one where it can run,\n"
      "                     else headless (driven by lines on standard input)\n"
      "  --package-dir DIR  the package's folder (Setup.ini, pastascripts, Audio, Info, "
      "Extras);\n"
      "                     by default the executable's folder\n"
      "  --log FILE         append every setting read, version found and offered, file\n"
      "                     copied, INI entry written, message, sound command and pause to\n"
      "                     FILE, one timed line each (UTF-8)\n"
      "  --silent           install without any window, message box or sound; messages go\n"
      "                     to standard error\n"
      "  --versions LIST    with --silent: the JAWS versions to install into, separated by\n"
      "                     commas (17.0,2025), or all; by default the one the window ticks\n"
      "  --dry-run          with --silent: write nothing; print every file that would be\n"
      "                     copied, every INI entry that would be written and every step\n"
      "                     that would be skipped\n"
      "  --check            check the package as its author ships it; findings in\n"
      "                     Portuguese on standard output, exit 1 when there is an erro\n"
      "  --version          print the version\n"
      "  --help             print this text\n";
  if (syntax == Syntax::Windows)
    text +=
        "\n"
        "Options may also be written with / and in any case: /SILENT, /S (--silent), /? "
        "(--help).\n";
  text +=
      "\n"
      "Exit status: 0 installed (or would install, with --dry-run); 1 start-up stop (no\n"
      "Setup.ini, no JAWS version found); 2 usage error or a log that cannot be opened;\n"
      "3 --versions named a version not offered; 4 the installation failed part way;\n"
      "5 installed, but a chosen version had no language folder;\n"
      "70 an unexpected error inside the program (a fault of ours): its message is on\n"
      "standard error.\n";
  return text;
}

}  // namespace inst::cli
