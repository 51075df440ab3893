#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/status.h"

namespace inst {

// One value of a registry key: a string, or a 32-bit number where `isNumber`.
struct RegistryValue {
  std::string name;
  std::string text;
  std::uint32_t number = 0;
  bool isNumber = false;
};

// The platform's registry, as far as the list of installed programs needs it. Keys are written
// in full ("HKCU\\Software\\…"); only the current user's hive is ever touched, and nothing
// needs an administrator.
class Registry {
 public:
  virtual ~Registry() = default;
  // Why this platform has no registry; empty where it has one.
  virtual std::string absent() const = 0;
  // Makes the key when it is missing, then sets every value; values it had that are not given
  // are removed, so a newer installation leaves nothing of an older one.
  virtual Status writeKey(const std::string& key, const std::vector<RegistryValue>& values) = 0;
  // Removes the key and its values; a key that is not there is success.
  virtual Status removeKey(const std::string& key) = 0;
  virtual bool keyExists(const std::string& key) = 0;
};

// Where the platform lists the programs its user installed, and how each is removed: on Windows
// the registry's uninstall keys, and the program kept to do the removal.
class ProgramList : public Registry {
 public:
  // Writes `path`, a copy of the running program that carries the package in `packageFolder`
  // (what --bundle writes), in place of the old one through a flushed temporary file and a
  // rename. The folder must be there.
  virtual Status keepProgram(const std::string& packageFolder, const std::string& path) = 0;
  // Removes the kept program, also when it is the one running: it is moved out of the way to
  // the temporary folder, whose leftovers a later start removes.
  virtual Status removeProgram(const std::string& path) = 0;
};

}  // namespace inst
