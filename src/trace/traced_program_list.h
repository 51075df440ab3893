#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/event_sink.h"
#include "platform/program_list.h"

namespace inst::trace {

// write key="…" value=NAME data="…" (a number bare)
std::string RegistryWriteEvent(const std::string& key, const RegistryValue& value);
// delete key="…"
std::string RegistryDeleteEvent(const std::string& key);

// The list of installed programs as the log sees it: each value written, the key removed, the
// kept uninstaller (`copy from=<the running program>`) and its removal, with their results.
class LoggedProgramList final : public ProgramList {
 public:
  LoggedProgramList(ProgramList& inner, EventSink& sink, std::string executable)
      : inner_(inner), sink_(sink), executable_(std::move(executable)) {}
  std::string absent() const override { return inner_.absent(); }
  Status writeKey(const std::string& key, const std::vector<RegistryValue>& values) override;
  Status removeKey(const std::string& key) override;
  bool keyExists(const std::string& key) override { return inner_.keyExists(key); }
  Status keepProgram(const std::string& packageFolder, const std::string& path) override;
  Status removeProgram(const std::string& path) override;

 private:
  ProgramList& inner_;
  EventSink& sink_;
  std::string executable_;
};

// A dry run's: writes nothing, tells `plan` the same lines, and answers as if it had written.
class DryRunProgramList final : public ProgramList {
 public:
  DryRunProgramList(ProgramList& inner, EventSink& plan, std::string executable)
      : inner_(inner), plan_(plan), executable_(std::move(executable)) {}
  std::string absent() const override { return inner_.absent(); }
  Status writeKey(const std::string& key, const std::vector<RegistryValue>& values) override;
  Status removeKey(const std::string& key) override;
  bool keyExists(const std::string& key) override;
  Status keepProgram(const std::string& packageFolder, const std::string& path) override;
  Status removeProgram(const std::string& path) override;

 private:
  ProgramList& inner_;
  EventSink& plan_;
  std::string executable_;
  std::set<std::string> written_, removed_;
};

}  // namespace inst::trace
