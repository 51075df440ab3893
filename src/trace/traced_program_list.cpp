#include "trace/traced_program_list.h"

#include "text/event_line.h"
#include "trace/logged_services.h"

namespace inst::trace {

std::string RegistryWriteEvent(const std::string& key, const RegistryValue& value) {
  EventLine line("write");
  line.quoted("key", key).bare("value", value.name);
  if (value.isNumber) return line.number("data", value.number).str();
  return line.quoted("data", value.text).str();
}

std::string RegistryDeleteEvent(const std::string& key) {
  return EventLine("delete").quoted("key", key).str();
}

Status LoggedProgramList::writeKey(const std::string& key,
                                   const std::vector<RegistryValue>& values) {
  Status result = inner_.writeKey(key, values);
  for (const RegistryValue& value : values)
    sink_.event(WithResult(RegistryWriteEvent(key, value), result));
  return result;
}

Status LoggedProgramList::removeKey(const std::string& key) {
  Status result = inner_.removeKey(key);
  sink_.event(WithResult(RegistryDeleteEvent(key), result));
  return result;
}

Status LoggedProgramList::keepProgram(const std::string& packageFolder, const std::string& path) {
  Status result = inner_.keepProgram(packageFolder, path);
  sink_.event(WithResult(CopyEvent(executable_, path), result));
  return result;
}

Status LoggedProgramList::removeProgram(const std::string& path) {
  Status result = inner_.removeProgram(path);
  sink_.event(WithResult(RemoveFileEvent(path), result));
  return result;
}

Status DryRunProgramList::writeKey(const std::string& key,
                                   const std::vector<RegistryValue>& values) {
  for (const RegistryValue& value : values) plan_.event(RegistryWriteEvent(key, value));
  written_.insert(key);
  removed_.erase(key);
  return Status::success();
}

Status DryRunProgramList::removeKey(const std::string& key) {
  if (keyExists(key)) plan_.event(RegistryDeleteEvent(key));
  removed_.insert(key);
  written_.erase(key);
  return Status::success();
}

bool DryRunProgramList::keyExists(const std::string& key) {
  return written_.contains(key) || (!removed_.contains(key) && inner_.keyExists(key));
}

Status DryRunProgramList::keepProgram(const std::string&, const std::string& path) {
  plan_.event(CopyEvent(executable_, path));
  return Status::success();
}

Status DryRunProgramList::removeProgram(const std::string& path) {
  plan_.event(RemoveFileEvent(path));
  return Status::success();
}

}  // namespace inst::trace
