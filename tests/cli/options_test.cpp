// The option parser against the command line's contract: every form and every conflict, in the
// two syntaxes. An outcome is the error, or the options as one line.
#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "cli/usage.h"

namespace inst::cli {
namespace {

constexpr std::string_view kFrontEnds[] = {"gtk", "headless", "silent"};
constexpr Syntax P = Syntax::Posix, W = Syntax::Windows;

std::string Outcome(const std::vector<std::string_view>& args, Syntax syntax) {
  const Parsed parsed = Parse(args, syntax, kFrontEnds);
  if (!parsed.ok()) return "error: " + parsed.error;
  const Options& o = parsed.options;
  std::string line;
  for (const std::string& name : o.given) line += name + " ";
  return line + "ui=" + o.ui + " dir=" + o.packageDir + " log=" + o.log + " versions=" + o.versions;
}

struct Case {
  std::vector<std::string_view> args;
  Syntax syntax;
  std::string outcome;
};

const Case kCases[] = {
    {{}, P, "ui= dir= log= versions="},
    {{"--ui=headless", "--package-dir", "p", "--log=l"},
     P,
     "log package-dir ui ui=headless dir=p log=l versions="},
    {{"--silent", "--versions", "17.0,2025", "--dry-run"},
     P,
     "dry-run silent versions ui= dir= log= versions=17.0,2025"},
    {{"--ui=silent", "--versions=all"}, P, "silent ui versions ui= dir= log= versions=all"},
    {{"--package-dir=a=b"}, P, "package-dir ui= dir=a=b log= versions="},
    {{"--check", "--package-dir", "p"}, P, "check package-dir ui= dir=p log= versions="},
    {{"-h"}, P, "help ui= dir= log= versions="},
    // Conflicts
    {{"--silent", "--ui=gtk"}, P, "error: --silent and --ui cannot go together"},
    {{"--ui", "headless", "--silent"}, P, "error: --silent and --ui cannot go together"},
    {{"--ui=silent", "--silent"}, P, "error: --silent and --ui cannot go together"},
    {{"--versions", "all"}, P, "error: --versions goes only with --silent"},
    {{"--dry-run", "--ui=headless"}, P, "error: --dry-run goes only with --silent"},
    {{"--dry-run", "--versions=all"}, P, "error: --versions goes only with --silent"},
    {{"--check", "--silent"}, P, "error: --check goes with no other option than --package-dir"},
    {{"--log", "x", "--check"}, P, "error: --check goes with no other option than --package-dir"},
    {{"--version", "--help"}, P, "error: --help goes with no other option"},
    {{"--version", "--check"}, P, "error: --version goes with no other option"},
    {{"--package-dir=p", "-h"}, P, "error: --help goes with no other option"},
    {{"--silent", "--silent"}, P, "error: --silent is given twice"},
    {{"--versions", "17.0", "--silent", "--versions=16.0"}, P, "error: --versions is given twice"},
    {{"-h", "--help"}, P, "error: --help is given twice"},
    // Malformed
    {{"--bogus"}, P, "error: unknown option: --bogus"},
    {{"--silent", "extra"}, P, "error: unexpected argument: extra"},
    {{"-s"}, P, "error: unexpected argument: -s"},
    {{"--silent=1"}, P, "error: --silent takes no value"},
    {{"--silent", "--log"}, P, "error: --log needs a value"},
    {{"--log", "--silent"}, P, "error: --log needs a value"},
    {{"--log="}, P, "error: --log needs a value"},
    {{"--ui="}, P, "error: --ui needs a value"},
    {{"--silent", "--versions", ""},
     P,
     "error: --versions needs at least one version name, or all"},
    {{"--silent", "--versions=,, ,"},
     P,
     "error: --versions needs at least one version name, or all"},
    {{"--versions="}, P, "error: --versions goes only with --silent"},
    {{"--ui=nothing"}, P, "error: this build has no front end 'nothing'"},
    {{"--ui=GTK"}, P, "error: this build has no front end 'GTK'"},
    // Windows forms: "/" and any case there, and nowhere else
    {{"/SILENT"}, P, "error: unexpected argument: /SILENT"},
    {{"--SILENT"}, P, "error: unknown option: --SILENT"},
    {{"/S", "/Versions=ALL", "/DRY-RUN", "/package-dir", "C:\\pkg"},
     W,
     "dry-run package-dir silent versions ui= dir=C:\\pkg log= versions=ALL"},
    {{"/silent", "/LOG", "C:\\l.log", "--Ui=x"}, W, "error: --silent and --ui cannot go together"},
    {{"/?"}, W, "help ui= dir= log= versions="},
    {{"/?", "/S"}, W, "error: --help goes with no other option"},
    {{"/S", "/silent"}, W, "error: --silent is given twice"},
    {{"/s", "/ui=headless"}, W, "error: --silent and --ui cannot go together"},
    {{"/check", "/package-dir=C:\\x"}, W, "check package-dir ui= dir=C:\\x log= versions="},
    {{"/x"}, W, "error: unknown option: /x"},
    {{"/"}, W, "error: unexpected argument: /"},
    {{"/S=1"}, W, "error: --silent takes no value"},
    {{"/ui=HEADLESS"}, W, "error: this build has no front end 'HEADLESS'"},
};

TEST(Options, EveryFormAndConflict) {
  for (const Case& c : kCases) {
    std::string line = c.syntax == W ? "[windows]" : "[posix]";
    for (std::string_view arg : c.args) line += " " + std::string(arg);
    EXPECT_EQ(Outcome(c.args, c.syntax), c.outcome) << line;
  }
}

// The help offers what --ui takes, and the "/" forms only where they are taken.
TEST(Options, UsageFollowsTheSyntaxAndTheTable) {
  const std::string_view offered[] = {"win32", "headless"};
  const std::string posix = Usage(P, offered), windows = Usage(W, offered);
  EXPECT_TRUE(posix.starts_with("usage: instalador [--ui=win32|headless] [--package-dir DIR]"));
  EXPECT_EQ(posix.find("/SILENT"), std::string::npos);
  EXPECT_NE(windows.find("/SILENT, /S (--silent), /? (--help)"), std::string::npos);
  EXPECT_NE(posix.find("\n70 an unexpected error"), std::string::npos);
}

}  // namespace
}  // namespace inst::cli
