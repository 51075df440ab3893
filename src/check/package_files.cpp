#include "check/package_files.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <string_view>
#include <system_error>

#include "package/layout.h"
#include "platform/file_system.h"
#include "text/ascii.h"

namespace inst::check {
namespace {

namespace fs = std::filesystem;

// Deeper than any package goes; a folder that contains itself (a junction on Windows, where
// links are not told apart) ends here rather than never. The planned copy reports the loop.
constexpr int kMaxDepth = 64;

fs::path ToPath(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}
std::string Text(const fs::path& path) {
  const std::u8string u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}

bool Inside(const fs::path& path, const fs::path& root) {
  auto [r, p] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  return r == root.end();
}

class Walker {
 public:
  Walker(const fs::path& root, std::vector<Finding>& findings) : findings_(findings) {
    std::error_code ec;
    root_ = fs::weakly_canonical(root, ec);
    if (ec) root_ = root;
  }

  // The entries of `folder` whose names `wanted` takes, each as `shown` + its name.
  template <class Wanted>
  void folder(const fs::path& folder, const std::string& shown, int depth, Wanted wanted) {
    std::vector<fs::path> children;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
      if (wanted(Text(it->path().filename()))) children.push_back(it->path());
    std::sort(children.begin(), children.end());
    std::map<std::string, std::string> byUpper;
    for (const fs::path& child : children) {
      const std::string name = Text(child.filename());
      const std::string path = shown.empty() ? name : shown + "\\" + name;
      auto [first, added] = byUpper.try_emplace(ascii::Upper(name), path);
      if (!added) {
        error(first->second + " e " + path +
              " diferem só nas maiúsculas e minúsculas: no Windows um substituiria o outro. "
              "Renomeie ou apague um deles.");
      }
      entry(child, path, depth);
    }
  }

 private:
  void error(std::string text) { findings_.push_back({Severity::Error, std::move(text)}); }

  void entry(const fs::path& path, const std::string& shown, int depth) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (ec) return;
    if (fs::is_symlink(status)) {
      // A link inside the package is read where it points, which is walked on its own.
      const fs::path target = fs::weakly_canonical(path, ec);
      if (ec || !Inside(target, root_)) {
        error(shown + " é um link para fora do pacote (" + Text(fs::read_symlink(path, ec)) +
              "): a instalação levaria um arquivo que não é do pacote, e o pacote copiado para "
              "outra máquina ficaria sem ele. Ponha o próprio arquivo no lugar do link.");
      }
      return;
    }
    if (fs::is_directory(status)) {
      if (depth < kMaxDepth)
        folder(path, shown, depth + 1, [](const std::string&) { return true; });
      return;
    }
    if (!fs::is_regular_file(status)) {
      error(shown +
            " é um pipe, um dispositivo ou um soquete, não um arquivo: a instalação o deixaria de "
            "fora ou pararia nele. Tire-o do pacote.");
      return;
    }
    if (Text(path.filename()).starts_with(kTempFilePrefix)) {
      findings_.push_back(
          {Severity::Warning, shown + " é um arquivo temporário que uma instalação interrompida "
                                      "deixou: ele nunca é instalado. Apague-o do pacote."});
    }
  }

  fs::path root_;
  std::vector<Finding>& findings_;
};

}  // namespace

void CheckPackageFiles(const std::string& packageFolder, std::vector<Finding>& findings) {
  const fs::path root = ToPath(packageFolder);
  Walker(root, findings).folder(root, "", 0, [](const std::string& name) {
    for (std::string_view part :
         {package::kSetupIni, package::kScriptsFolder, package::kAudioFolder, package::kInfoFolder,
          package::kExtrasFolder})
      if (ascii::EqualIgnoringCase(name, part)) return true;
    return false;
  });
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
