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
    {{"--silent", "--ui=gtk"}, P, "error: --silent e --ui não podem ir juntas"},
    {{"--ui", "headless", "--silent"}, P, "error: --silent e --ui não podem ir juntas"},
    {{"--ui=silent", "--silent"}, P, "error: --silent e --ui não podem ir juntas"},
    {{"--silent", "--uninstall"}, P, "error: --silent e --uninstall não podem ir juntas"},
    {{"/UNINSTALL", "/dry-run"}, W, "dry-run uninstall ui= dir= log= versions="},
    // --uninstall with a window front end is the uninstall window; its user picks the versions.
    {{"--uninstall", "--ui=gtk"}, P, "ui uninstall ui=gtk dir= log= versions="},
    {{"--uninstall", "--ui=headless"}, P, "error: --uninstall e --ui não podem ir juntas"},
    {{"/uninstall", "/ui=win32", "/versions=all"},
     W,
     "error: --versions não vai com a janela de remoção (--uninstall --ui)"},
    {{"--versions", "all"}, P, "error: --versions só vai com --silent ou --uninstall"},
    {{"--dry-run", "--ui=headless"}, P, "error: --dry-run só vai com --silent ou --uninstall"},
    {{"--dry-run", "--versions=all"}, P, "error: --versions só vai com --silent ou --uninstall"},
    {{"--check", "--silent"},
     P,
     "error: --check não vai com nenhuma outra opção além de --package-dir"},
    {{"--log", "x", "--check"},
     P,
     "error: --check não vai com nenhuma outra opção além de --package-dir"},
    {{"--version", "--help"}, P, "error: --help não vai com nenhuma outra opção"},
    {{"--version", "--check"}, P, "error: --version não vai com nenhuma outra opção"},
    {{"--package-dir=p", "-h"}, P, "error: --help não vai com nenhuma outra opção"},
    {{"--silent", "--silent"}, P, "error: --silent foi dada duas vezes"},
    {{"--versions", "17.0", "--silent", "--versions=16.0"},
     P,
     "error: --versions foi dada duas vezes"},
    {{"-h", "--help"}, P, "error: --help foi dada duas vezes"},
    // Malformed
    {{"--bogus"}, P, "error: opção desconhecida: --bogus"},
    {{"--silent", "extra"}, P, "error: argumento inesperado: extra"},
    {{"-s"}, P, "error: argumento inesperado: -s"},
    {{"--silent=1"}, P, "error: --silent não leva valor"},
    {{"--silent", "--log"}, P, "error: --log precisa de um valor"},
    {{"--log", "--silent"}, P, "error: --log precisa de um valor"},
    {{"--log="}, P, "error: --log precisa de um valor"},
    {{"--ui="}, P, "error: --ui precisa de um valor"},
    {{"--silent", "--versions", ""},
     P,
     "error: --versions precisa de pelo menos um nome de versão, ou all"},
    {{"--silent", "--versions=,, ,"},
     P,
     "error: --versions precisa de pelo menos um nome de versão, ou all"},
    {{"--versions="}, P, "error: --versions só vai com --silent ou --uninstall"},
    {{"--ui=nothing"}, P, "error: esta compilação não tem a interface 'nothing'"},
    {{"--ui=GTK"}, P, "error: esta compilação não tem a interface 'GTK'"},
    // Windows forms: "/" and any case there, and nowhere else
    {{"/SILENT"}, P, "error: argumento inesperado: /SILENT"},
    {{"--SILENT"}, P, "error: opção desconhecida: --SILENT"},
    {{"/S", "/Versions=ALL", "/DRY-RUN", "/package-dir", "C:\\pkg"},
     W,
     "dry-run package-dir silent versions ui= dir=C:\\pkg log= versions=ALL"},
    {{"/silent", "/LOG", "C:\\l.log", "--Ui=x"}, W, "error: --silent e --ui não podem ir juntas"},
    {{"/?"}, W, "help ui= dir= log= versions="},
    {{"/?", "/S"}, W, "error: --help não vai com nenhuma outra opção"},
    {{"/S", "/silent"}, W, "error: --silent foi dada duas vezes"},
    {{"/s", "/ui=headless"}, W, "error: --silent e --ui não podem ir juntas"},
    {{"/check", "/package-dir=C:\\x"}, W, "check package-dir ui= dir=C:\\x log= versions="},
    {{"/x"}, W, "error: opção desconhecida: /x"},
    {{"/"}, W, "error: argumento inesperado: /"},
    {{"/S=1"}, W, "error: --silent não leva valor"},
    {{"/ui=HEADLESS"}, W, "error: esta compilação não tem a interface 'HEADLESS'"},
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
  EXPECT_TRUE(posix.starts_with("uso: instalador [--ui=win32|headless] [--package-dir PASTA]"));
  EXPECT_EQ(posix.find("/SILENT"), std::string::npos);
  EXPECT_NE(windows.find("/SILENT,\n/S (--silent), /? (--help)"), std::string::npos);
  EXPECT_NE(posix.find("\n70 um erro inesperado"), std::string::npos);
}

}  // namespace
}  // namespace inst::cli
