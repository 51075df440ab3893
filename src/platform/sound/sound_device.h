#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace inst::sound {

// The device types of the command interface that this interpreter knows.
enum class DeviceType { MpegVideo, WaveAudio, Sequencer };

// What a file holds, as far as its first bytes tell.
enum class Format { Unknown, Wave, Midi, MpegAudio, Ogg, Flac };

struct Media {
  Format format = Format::Unknown;
  std::uint32_t lengthMs = 0;  // 0 when the file does not say
};

// One file loaded on an output device. The interpreter keeps the command-level states
// (playing, paused, stopped); a sound only knows whether it is sounding and where it is.
class Sound {
 public:
  virtual ~Sound() = default;

  // Best known length; 0 when neither the file nor the decoder can tell.
  virtual std::uint32_t lengthMs() = 0;
  virtual std::uint32_t positionMs() = 0;
  // False when halted or after the end has been reached (never, while repeating).
  virtual bool sounding() = 0;

  // Starts at `fromMs`; with `repeat` it starts again from the beginning at every end.
  virtual void start(std::uint32_t fromMs, bool repeat) = 0;
  // Falls silent and keeps the position.
  virtual void halt() = 0;
  // Sounds on from where `halt` left it.
  virtual void proceed() = 0;
  // Linear amplitude, 0 (silent) to 1 (the file's own level).
  virtual void setLevel(double amplitude) = 0;
  // Returns when the sound has ended; at once when it is not sounding. Never called while
  // repeating.
  virtual void waitForEnd() = 0;
};

// A way of making sound: the real one, or none at all.
class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  // The file at `nativePath`, already found to be of a format that `type` accepts. Null when
  // the device cannot read it.
  virtual std::unique_ptr<Sound> load(const std::string& nativePath, DeviceType type,
                                      const Media& media) = 0;
};

}  // namespace inst::sound
