#pragma once

#include "platform/program_list.h"

namespace inst {

// POSIX systems keep no list of installed programs: nothing is written, and a run says why.
class PosixRegistry final : public Registry {
 public:
  std::string absent() const override {
    return "este sistema não tem lista de programas instalados (só o Windows tem)";
  }
  Status writeKey(const std::string& key, const std::vector<RegistryValue>&) override {
    return Status::failure(key, absent());
  }
  Status removeKey(const std::string&) override { return Status::success(); }
  bool keyExists(const std::string&) override { return false; }
};

}  // namespace inst
