#include "check/package_files.h"

#include <algorithm>
#include <map>
#include <string_view>

#include "package/layout.h"
#include "platform/windows_path.h"
#include "text/ascii.h"

namespace inst::check {
namespace {

// Deeper than any package goes; a folder that contains itself through a link the system does
// not tell as one ends here rather than never. The planned copy reports the loop.
constexpr int kMaxDepth = 64;

bool AnyName(std::string_view) {
  return true;
}

bool PackageName(std::string_view name) {
  for (std::string_view part : {package::kSetupIni, package::kScriptsFolder, package::kAudioFolder,
                                package::kInfoFolder, package::kExtrasFolder})
    if (ascii::EqualIgnoringCase(name, part)) return true;
  return false;
}

class Walker {
 public:
  Walker(FileSystem& fs, const std::string& root, std::vector<Finding>& findings)
      : fs_(fs), root_(root), findings_(findings) {}

  // The names of the folder `path` that `wanted` takes, each shown as `shown` and its name.
  void folder(const std::string& path, const std::string& shown, int depth,
              bool (*wanted)(std::string_view)) {
    std::vector<FolderEntry> entries;
    if (!fs_.listEntries(path, root_, entries)) return;  // the other findings say why
    std::map<std::string, std::string> byUpper;
    for (const FolderEntry& e : entries) {
      if (!wanted(e.name)) continue;
      const std::string name = shown.empty() ? e.name : shown + "\\" + e.name;
      auto [first, added] = byUpper.try_emplace(ascii::Upper(e.name), name);
      if (!added) {
        error(first->second + " e " + name +
              " diferem só nas maiúsculas e minúsculas: no Windows um substituiria o outro. "
              "Renomeie ou apague um deles.");
      }
      entry(ShownChild(path, e.name), name, e, depth);
    }
  }

 private:
  void error(std::string text) { findings_.push_back({Severity::Error, std::move(text)}); }

  void entry(const std::string& path, const std::string& name, const FolderEntry& e, int depth) {
    switch (e.kind) {
      case FolderEntry::Kind::Link:
        // A link inside the package is read where it points, which is looked at on its own.
        if (e.linkLeaves) {
          error(name + " é um link para fora do pacote (" + e.linkText +
                "): a instalação levaria um arquivo que não é do pacote, e o pacote copiado para "
                "outra máquina ficaria sem ele. Ponha o próprio arquivo no lugar do link.");
        }
        return;
      case FolderEntry::Kind::Folder:
        if (depth < kMaxDepth) folder(path, name, depth + 1, AnyName);
        return;
      case FolderEntry::Kind::Other:
        error(name +
              " é um pipe, um dispositivo ou um soquete, não um arquivo: a instalação o deixaria "
              "de fora ou pararia nele. Tire-o do pacote.");
        return;
      case FolderEntry::Kind::File:
        if (!e.name.starts_with(kTempFilePrefix)) return;
        findings_.push_back(
            {Severity::Warning, name + " é um arquivo temporário que uma instalação interrompida "
                                       "deixou: ele nunca é instalado. Apague-o do pacote."});
        return;
    }
  }

  FileSystem& fs_;
  std::string root_;
  std::vector<Finding>& findings_;
};

}  // namespace

void CheckPackageFiles(FileSystem& fs, const std::string& packageFolder,
                       std::vector<Finding>& findings) {
  Walker(fs, packageFolder, findings).folder(packageFolder, "", 0, PackageName);
}

bool LeavesItsFolder(const std::string& name) {
  if (name.starts_with('\\') || name.starts_with('/')) return true;
  if (name.size() >= 2 && name[1] == ':') return true;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = std::min(name.find_first_of("\\/", start), name.size());
    if (std::string_view(name).substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

}  // namespace inst::check
