#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/file_system.h"
#include "platform/mci_port.h"
#include "platform/message_box.h"

namespace inst {

// The device type the player opens a file with: "MPEGVIDEO", "waveaudio", "sequencer", or
// the empty text, from the path's last three characters.
std::string DeviceTypeFor(const std::string& path);

// The sound player: one file at a time, through command texts sent to the multimedia command
// interface under the alias "audio". It keeps no record of the device's state: the only reply
// it reads is the device mode, and the result code of every command is ignored.
class mci {
 public:
  mci(MciPort& port, FileSystem& fs, MessageBoxes& boxes,
      std::function<std::string()> applicationTitle);

  void FileName(const std::string& path);
  std::string FileName() const;
  // Byte settings: anything outside the accepted range (also below 0 or above 255, never
  // wrapped) is refused with the player's message.
  void PlayMode(int mode);
  std::uint8_t PlayMode() const;
  void volume(int level);
  std::uint8_t volume() const;

  void OpenFile();
  void Play();
  void CloseFile();
  void Pause();
  bool IsPlaying();

 private:
  void Resume();
  MciReply send(const std::string& command, std::size_t replyCapacity = 0);
  void complain(const std::string& text);

  MciPort& port_;
  FileSystem& fs_;
  MessageBoxes& boxes_;
  std::function<std::string()> applicationTitle_;

  std::string fileName_;  // kept between double quotes, ready for the open command
  std::uint8_t volume_ = 30;
  std::uint8_t playMode_ = 0;
};

}  // namespace inst
