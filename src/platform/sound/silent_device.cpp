#include "platform/sound/silent_device.h"

#include <utility>

#include "platform/sound/interpreter.h"

namespace inst {

namespace sound {
namespace {

class SilentSound final : public Sound {
 public:
  explicit SilentSound(std::uint32_t lengthMs) : length_(lengthMs) {}

  std::uint32_t lengthMs() override { return length_; }
  std::uint32_t positionMs() override { return position_; }
  bool sounding() override { return sounding_; }

  void start(std::uint32_t fromMs, bool /*repeat*/) override {
    position_ = fromMs;
    sounding_ = true;
  }
  void halt() override { sounding_ = false; }
  void proceed() override { sounding_ = true; }
  void setLevel(double /*amplitude*/) override {}
  void waitForEnd() override {
    if (!sounding_) return;
    sounding_ = false;
    position_ = length_;
  }

 private:
  std::uint32_t length_;
  std::uint32_t position_ = 0;
  bool sounding_ = false;
};

}  // namespace

std::unique_ptr<Sound> SilentDevice::load(const std::string& /*nativePath*/, DeviceType /*type*/,
                                          const Media& media) {
  return std::make_unique<SilentSound>(media.lengthMs);
}

}  // namespace sound

std::unique_ptr<MciPort> MakeSilentMciPort(
    std::function<std::string(const std::string&)> resolvePath) {
  return std::make_unique<sound::CommandInterpreter>(std::make_unique<sound::SilentDevice>(),
                                                     std::move(resolvePath));
}

}  // namespace inst
