#include "install/recording.h"

namespace inst::testing {

namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace

Status Recorder::fallibleOp(const std::string& entry, const std::string& path,
                            const std::function<Status()>& run) {
  ++fallible;
  if (fallible == failAt) {
    log.push_back(entry + " !");
    return fail(path, run);
  }
  log.push_back(entry);
  return run();
}

std::vector<std::string> Recorder::lines(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& line : log) {
    if (line.rfind(prefix, 0) == 0) out.push_back(line);
  }
  return out;
}

bool RecordingFileSystem::fileExists(const std::string& path) {
  rec_.log.push_back("fileExists " + path);
  return inner_.fileExists(path);
}

bool RecordingFileSystem::normalFileExists(const std::string& path) {
  rec_.log.push_back("normalFileExists " + path);
  return inner_.normalFileExists(path);
}

bool RecordingFileSystem::folderExists(const std::string& path) {
  rec_.log.push_back("folderExists " + path);
  return inner_.folderExists(path);
}

Status RecordingFileSystem::subFolders(const std::string& path, std::vector<SubFolder>& out) {
  return rec_.fallibleOp("subFolders " + path, path, [&] { return inner_.subFolders(path, out); });
}

Status RecordingFileSystem::copyFolder(const std::string& source, const std::string& destination) {
  return rec_.fallibleOp("copyFolder " + source + " -> " + destination, destination,
                         [&] { return inner_.copyFolder(source, destination); });
}

Status RecordingFileSystem::copyFile(const std::string& source, const std::string& destination) {
  return rec_.fallibleOp("copyFile " + source + " -> " + destination, destination,
                         [&] { return inner_.copyFile(source, destination); });
}

Status RecordingFileSystem::readFile(const std::string& path, std::string& bytes) {
  rec_.log.push_back("readFile " + path);
  return inner_.readFile(path, bytes);
}

std::uint32_t RecordingProfile::getString(const std::string& section, const std::string& key,
                                          const std::string& def, char* buffer, std::uint32_t size,
                                          const std::string& path) {
  rec_.log.push_back("iniRead [" + section + "] " + key + " " + path);
  return inner_.getString(section, key, def, buffer, size, path);
}

Status RecordingProfile::writeString(const std::string& section, const std::string& key,
                                     const std::string& value, const std::string& path) {
  return rec_.fallibleOp("iniWrite [" + section + "] " + key + "=" + value + " " + path, path,
                         [&] { return inner_.writeString(section, key, value, path); });
}

void RecordingSleeper::sleep(unsigned milliseconds) {
  rec_.log.push_back("sleep " + std::to_string(milliseconds));
}

MapEnvironment::MapEnvironment(std::map<std::string, std::string> vars) {
  for (auto& [name, value] : vars) set(name, value);
}

void MapEnvironment::set(const std::string& name, const std::string& value) {
  vars_[Upper(name)] = value;
}

std::string MapEnvironment::get(std::string_view name) const {
  auto it = vars_.find(Upper(name));
  return it == vars_.end() ? std::string() : it->second;
}

}  // namespace inst::testing
