#include "ui/sound_devices.h"

#include "platform/host.h"
#include "text/ascii.h"

namespace inst::ui {
namespace {

std::unique_ptr<MciPort> MakeNamed(std::string_view name, const std::string& exeFolder) {
  for (const host::SoundDeviceEntry& device : host::SoundDevices())
    if (device.name == name) return device.make(exeFolder);
  return nullptr;
}

bool Opens(const std::string& command) {
  const std::size_t verb = command.find_first_not_of(" \t");
  if (verb == std::string::npos) return false;
  return ascii::Lower(command.substr(verb, command.find_first_of(" \t", verb) - verb)) == "open";
}

class OnDemandPort final : public MciPort {
 public:
  OnDemandPort(std::function<std::unique_ptr<MciPort>()> make, std::unique_ptr<MciPort> meanwhile)
      : make_(std::move(make)), meanwhile_(std::move(meanwhile)) {}

  MciReply send(const std::string& command, std::size_t replyCapacity) override {
    if (!device_ && Opens(command)) {
      device_ = make_();
      meanwhile_.reset();
    }
    return (device_ ? *device_ : *meanwhile_).send(command, replyCapacity);
  }

 private:
  std::function<std::unique_ptr<MciPort>()> make_;
  std::unique_ptr<MciPort> meanwhile_;
  std::unique_ptr<MciPort> device_;
};

}  // namespace

std::unique_ptr<MciPort> OpenedOnDemand(std::function<std::unique_ptr<MciPort>()> make,
                                        std::unique_ptr<MciPort> meanwhile) {
  return std::make_unique<OnDemandPort>(std::move(make), std::move(meanwhile));
}

std::unique_ptr<MciPort> MakeSoundDevice(std::string_view hint, std::string_view preferred,
                                         const std::string& exeFolder) {
  if (auto port = MakeNamed(hint, exeFolder)) return port;
  if (auto port = MakeNamed(preferred, exeFolder)) return port;
  for (const host::SoundDeviceEntry& device : host::SoundDevices())
    if (auto port = device.make(exeFolder)) return port;
  return MakeNamed("silent", exeFolder);
}

}  // namespace inst::ui
