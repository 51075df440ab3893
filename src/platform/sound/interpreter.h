#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/mci_port.h"
#include "platform/sound/sound_device.h"

namespace inst::sound {

// Maps a path as the program writes it (Windows style, UTF-8) to the native path.
using PathResolver = std::function<std::string(const std::string&)>;

// A multimedia command-string interpreter for systems that have none: it takes the command
// texts of the Windows interface and answers with its result codes and replies, and plays
// through a SoundDevice. One device is open at a time.
//
// Grammar (keywords and aliases without regard to case, blanks separate words, a word in
// double quotes may hold blanks):
//   open ELEMENT [type TYPE] [alias NAME] [shareable]   reply: the device id
//   close NAME|all
//   play NAME [from MS] [repeat]                         repeat: MPEGVIDEO only
//   pause NAME | resume NAME | stop NAME
//   status NAME mode|length|position|ready|volume|time format
//   setaudio NAME volume to 0..1000                      MPEGVIDEO only
// and "wait" and "notify" after any of them. With no callback window a notice is never
// delivered; "play ... wait" returns when the sound has ended.
class CommandInterpreter final : public MciPort {
 public:
  CommandInterpreter(std::unique_ptr<SoundDevice> device, PathResolver resolvePath);
  ~CommandInterpreter() override;

  MciReply send(const std::string& command, std::size_t replyCapacity) override;

 private:
  struct Outcome {
    std::uint32_t code = 0;
    std::string reply;
  };
  enum class State { Stopped, Playing, Paused };
  struct Open {
    std::string alias;
    DeviceType type;
    std::unique_ptr<Sound> sound;
    State state = State::Stopped;
    bool halted = false;  // stopped part-way: a plain play sounds on from there
    bool repeating = false;
    std::uint32_t level = 1000;
  };

  Outcome run(const std::vector<std::string>& words);
  Outcome open(const std::vector<std::string>& words);
  Outcome play(Open& device, const std::vector<std::string>& words);
  Outcome pause(Open& device, const std::vector<std::string>& words);
  Outcome resume(Open& device, const std::vector<std::string>& words);
  Outcome stop(Open& device, const std::vector<std::string>& words);
  Outcome status(Open& device, const std::vector<std::string>& words);
  Outcome setaudio(Open& device, const std::vector<std::string>& words);
  // Notes an end that came while nobody was asking.
  void catchUp(Open& device);

  std::unique_ptr<SoundDevice> device_;  // outlives the sound below
  PathResolver resolvePath_;
  std::optional<Open> open_;
};

}  // namespace inst::sound
