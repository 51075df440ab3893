#include "install/sandbox.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "settings/ini_access.h"

namespace inst::testing {

namespace {

std::filesystem::path FreshRoot() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::filesystem::path root =
      std::filesystem::temp_directory_path() /
      ("instalador-install-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(root);
  return root;
}

std::string ToEngine(const std::filesystem::path& p) {
  const std::u8string u8 = p.u8string();
  return std::string(u8.begin(), u8.end());
}

}  // namespace

std::string Normalized(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '/') {
      if (out.empty() || out.back() != '/') out += '/';
    } else {
      out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }
  if (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

Sandbox::Sandbox() : root_(FreshRoot()) {
  env_.set("appdata", root() + "\\Roaming");
  env_.set("allusersprofile", root() + "\\ProgramData");
  write(package() + "\\RedidUzizu.jsb", "package marker script");
  write(package() + "\\leitor.jss", "package source");
  write(package() + "\\sub\\notas.txt", "nested file");
  write(exe() + "\\Extras\\extra1.ext", "package default script");
  write(root() + "\\Outros\\intocado.txt", "leave me");
  settings_ = {{"title", "Instalador"},
               {"Application", "notepad"},
               {"ScriptName", "bloco"},
               {"ModifyScriptName", "1"},
               {"Extras", "1"}};
  writeSetup();
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::string Sandbox::root() const {
  return ToEngine(root_);
}
std::string Sandbox::exe() const {
  return root() + "\\Pacote";
}

std::string Sandbox::settingsFolder(const std::string& version) const {
  return root() + "\\Roaming\\freedom scientific\\jaws\\" + version + "\\settings\\";
}

std::string Sandbox::user(const std::string& version, const std::string& language) const {
  return settingsFolder(version) + language;
}

std::string Sandbox::shared(const std::string& version, const std::string& language) const {
  return root() + "\\ProgramData\\Freedom scientific\\jaws\\" + version + "\\settings\\" + language;
}

void Sandbox::addUser(const std::string& version, const std::vector<std::string>& languages) {
  makeFolder(settingsFolder(version));
  for (const std::string& language : languages) makeFolder(user(version, language));
}

void Sandbox::addShared(const std::string& version, const std::string& language, bool configNames) {
  const std::string s = shared(version, language);
  write(s + "\\default.jsb", "shared jsb " + version + " " + language);
  write(s + "\\default.jsd", "shared jsd " + version + " " + language);
  if (configNames) write(s + "\\confignames.ini", "[ConfigNames]\r\nwordpad=wordpad\r\n");
}

void Sandbox::populate(const std::vector<std::string>& languages) {
  for (const char* version : {"17.0", "16.0"}) {
    addUser(version, languages);
    makeFolder(settingsFolder(version) + "DEU");
    for (const std::string& language : languages) addShared(version, language);
  }
}

void Sandbox::setting(const std::string& key, const std::string& value) {
  auto it = std::find_if(settings_.begin(), settings_.end(),
                         [&](const auto& entry) { return entry.first == key; });
  if (it == settings_.end()) {
    settings_.emplace_back(key, value);
  } else {
    it->second = value;
  }
  writeSetup();
}

void Sandbox::eraseSetting(const std::string& key) {
  std::erase_if(settings_, [&](const auto& entry) { return entry.first == key; });
  writeSetup();
}

void Sandbox::writeSetup() const {
  std::string text = "[Configurations]\r\n";
  for (const auto& [key, value] : settings_) text += key + "=" + value + "\r\n";
  write(setupIni(), text);
}

std::filesystem::path Sandbox::native(const std::string& path) const {
  // Test paths are spelled as they were created, so turning the separators is all it takes.
  std::string p = path;
  for (char& c : p) {
    if (c == '\\' || c == '/') c = static_cast<char>(std::filesystem::path::preferred_separator);
  }
  return std::filesystem::path(std::u8string(p.begin(), p.end()));
}

void Sandbox::write(const std::string& path, const std::string& bytes) const {
  const std::filesystem::path p = native(path);
  std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void Sandbox::makeFolder(const std::string& path) const {
  std::filesystem::create_directories(native(path));
}

void Sandbox::remove(const std::string& path) const {
  std::filesystem::remove_all(native(path));
}

bool Sandbox::isFile(const std::string& path) {
  return realFs_.fileExists(path);
}
bool Sandbox::isFolder(const std::string& path) {
  return realFs_.folderExists(path);
}

std::string Sandbox::read(const std::string& path) {
  std::string bytes;
  return realFs_.readFile(path, bytes) ? bytes : "<missing>";
}

std::string Sandbox::iniValue(const std::string& path, const std::string& section,
                              const std::string& key) {
  return ReadIniValue(realProfile_, section, key, path);
}

Status Sandbox::run(const std::array<VersionBox, 4>& boxes, std::int16_t versionCount) {
  return RunInstall(InstallServices{fs_, profile_, env_, sleeper_}, exe(), setupIni(), boxes,
                    versionCount);
}

std::map<std::string, std::string> Sandbox::snapshot() const {
  std::map<std::string, std::string> out;
  for (auto it = std::filesystem::recursive_directory_iterator(root_);
       it != std::filesystem::recursive_directory_iterator(); ++it) {
    const std::string rel = ToEngine(std::filesystem::relative(it->path(), root_));
    if (it->is_symlink()) {
      out[rel] = "<link>";
    } else if (it->is_directory()) {
      out[rel] = "<folder>";
    } else {
      std::ifstream in(it->path(), std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      out[rel] = bytes.str();
    }
  }
  return out;
}

}  // namespace inst::testing
