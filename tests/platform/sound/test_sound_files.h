#pragma once

// Builders for small sound files, written byte by byte so that the tests need no tools.

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace inst::testfiles {

inline std::string be(std::uint32_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

inline std::string le(std::uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

inline std::string varLength(std::uint32_t value) {
  std::string out(1, static_cast<char>(value & 0x7F));
  while (value >>= 7) out.insert(out.begin(), static_cast<char>((value & 0x7F) | 0x80));
  return out;
}

// One MIDI event: a delta time in ticks and its bytes.
struct MidiEvent {
  std::uint32_t delta;
  std::string bytes;
};

inline std::string tempo(std::uint32_t microsPerQuarter) {
  return "\xFF\x51\x03" + be(microsPerQuarter, 3);
}
inline const std::string kEndOfTrack = std::string("\xFF\x2F\x00", 3);

inline std::string midiTrack(const std::vector<MidiEvent>& events) {
  std::string body;
  for (const MidiEvent& e : events) body += varLength(e.delta) + e.bytes;
  return "MTrk" + be(static_cast<std::uint32_t>(body.size()), 4) + body;
}

inline std::string midiFile(std::uint16_t format, std::uint16_t division,
                            const std::vector<std::string>& tracks) {
  std::string out = "MThd" + be(6, 4) + be(format, 2) +
                    be(static_cast<std::uint32_t>(tracks.size()), 2) + be(division, 2);
  for (const std::string& t : tracks) out += t;
  return out;
}

// A piano note of `ms` milliseconds at 120 beats a minute, 480 ticks a beat.
inline std::string midiNote(std::uint32_t ms) {
  std::uint32_t ticks = ms * 480 / 500;
  return midiFile(0, 480,
                  {midiTrack({{0, tempo(500000)},
                              {0, std::string("\xC0\x00", 2)},
                              {0, "\x90\x3C\x64"},
                              {ticks, "\x80\x3C\x40"},
                              {0, kEndOfTrack}})});
}

// 16-bit mono PCM: a sine of `hz` at `amplitude` (0..1), or silence at 0.
inline std::string waveFile(std::uint32_t ms, double amplitude = 0.5, double hz = 440,
                            std::uint32_t rate = 22050) {
  std::uint32_t frames = rate * ms / 1000;
  std::string data;
  data.reserve(frames * 2);
  for (std::uint32_t i = 0; i < frames; ++i) {
    double s = amplitude * 32767 * std::sin(2 * 3.14159265358979 * hz * i / rate);
    data += le(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(s))), 2);
  }
  std::string fmt = le(1, 2) + le(1, 2) + le(rate, 4) + le(rate * 2, 4) + le(2, 2) + le(16, 2);
  std::string body = "WAVE" + std::string("fmt ") + le(16, 4) + fmt + "data" +
                     le(static_cast<std::uint32_t>(data.size()), 4) + data;
  return "RIFF" + le(static_cast<std::uint32_t>(body.size()), 4) + body;
}

// MPEG-1 layer III frames at 128 kbit/s and 44.1 kHz, with empty payloads: enough for a file
// to be recognised and measured (1152 samples a frame), not to be decoded into sound.
inline std::string mpegFrames(int count) {
  std::string frame = std::string("\xFF\xFB\x90\x00", 4) + std::string(417 - 4, '\0');
  std::string out;
  for (int i = 0; i < count; ++i) out += frame;
  return out;
}

// A fresh folder under the system's temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("instalador-sound-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
    return (path_ / name).string();
  }

 private:
  std::filesystem::path path_;
};

}  // namespace inst::testfiles
