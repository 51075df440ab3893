// Real sound, rendered without a sound card: SDL's disk driver writes the mixed samples to a
// file, at the pace a sound card would take them.

#include "platform/sound/sdl/sdl_port.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "platform/sound/test_sound_files.h"

namespace inst {
namespace {

using Clock = std::chrono::steady_clock;

// The output's own rate: SDL_mixer's resampler swallows the last few milliseconds of a file at
// another rate, which would blur the measurements.
constexpr std::uint32_t kRate = 44100;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// What the disk driver wrote: the loudness of each 10 ms.
struct Rendering {
  std::vector<double> rms;  // full scale 1.0
  double windowMs = 10;

  // The stretch between the first and the last window above the noise floor.
  std::pair<std::size_t, std::size_t> heard(double floor = 0.01) const {
    std::size_t first = rms.size(), last = 0;
    for (std::size_t i = 0; i < rms.size(); ++i) {
      if (rms[i] > floor) {
        first = std::min(first, i);
        last = i;
      }
    }
    return {first, last};
  }
  double heardMs() const {
    auto [first, last] = heard();
    return first > last ? 0 : static_cast<double>(last - first + 1) * windowMs;
  }
  // Mean loudness of what was heard, leaving out its first and last 100 ms.
  double level() const {
    auto [first, last] = heard();
    double sum = 0;
    int n = 0;
    for (std::size_t i = first + 10; i + 10 <= last; ++i, ++n) sum += rms[i];
    return n ? sum / n : 0;
  }
};

// One SDL port writing to its own file for the life of the object.
class DiskSession {
 public:
  explicit DiskSession(const char* driver = "disk") {
    output_ = folder_.path() / "output.raw";
    setenv("SDL_AUDIODRIVER", driver, 1);
    setenv("SDL_DISKAUDIOFILE", output_.string().c_str(), 1);
    Clock::time_point start = Clock::now();
    port_ = MakeSdlMciPort([](const std::string& p) { return p; });
    openMs_ = msSince(start);
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    if (Mix_QuerySpec(&frequency, &format, &channels)) {
      frequency_ = frequency;
      channels_ = channels;
      format_ = format;
    }
  }

  MciReply send(const std::string& command) { return port_->send(command, 128); }
  void expect(const std::string& command, const std::string& reply = "") {
    MciReply r = send(command);
    EXPECT_EQ(r.code, 0u) << command;
    EXPECT_EQ(r.text, reply) << command;
  }
  // Milliseconds the command took.
  double timed(const std::string& command) {
    Clock::time_point start = Clock::now();
    EXPECT_EQ(send(command).code, 0u) << command;
    return msSince(start);
  }
  std::string file(const std::string& name, const std::string& bytes) {
    return folder_.file(name, bytes);
  }
  // Writes the sound file and opens it as the player would.
  void open(const std::string& name, const std::string& bytes, const std::string& type) {
    expect("OPEN \"" + file(name, bytes) + "\" TYPE " + type + " alias audio", "1");
  }
  const testfiles::TempFolder& folder() const { return folder_; }
  double openMs() const { return openMs_; }
  bool mixing() const { return frequency_ > 0; }

  // Ends the session and reads what was written.
  Rendering finish() {
    port_.reset();
    Rendering r;
    EXPECT_EQ(format_, AUDIO_S16LSB) << "the test reads 16-bit samples";
    std::ifstream in(output_, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t perWindow = static_cast<std::size_t>(frequency_ / 100 * channels_);
    if (!perWindow) return r;
    std::size_t samples = bytes.size() / 2;
    for (std::size_t start = 0; start + perWindow <= samples; start += perWindow) {
      double sum = 0;
      for (std::size_t i = start; i < start + perWindow; ++i) {
        auto lo = static_cast<unsigned char>(bytes[2 * i]);
        auto hi = static_cast<unsigned char>(bytes[2 * i + 1]);
        double s = static_cast<std::int16_t>(lo | hi << 8) / 32768.0;
        sum += s * s;
      }
      r.rms.push_back(std::sqrt(sum / static_cast<double>(perWindow)));
    }
    return r;
  }

 private:
  testfiles::TempFolder folder_;
  std::filesystem::path output_;
  std::unique_ptr<MciPort> port_;
  double openMs_ = 0;
  int frequency_ = 0, channels_ = 0;
  Uint16 format_ = 0;
};

// sox, with its MP3 handler, makes the MP3 file; without it the MP3 cases are skipped.
bool makeMp3(const std::filesystem::path& path, double seconds) {
  std::string command = "sox -n -r 44100 -c 1 \"" + path.string() + "\" synth " +
                        std::to_string(seconds) + " sine 440 vol 0.5 >/dev/null 2>&1";
  return std::system(command.c_str()) == 0 && std::filesystem::exists(path);
}

TEST(SdlPort, Mp3AtHalfVolumeHasHalfTheAmplitude) {
  double levels[2] = {};
  const int volumes[2] = {1000, 500};
  for (int i = 0; i < 2; ++i) {
    DiskSession session;
    ASSERT_TRUE(session.mixing()) << "SDL could not open its disk driver";
    std::filesystem::path mp3 = session.folder().path() / "tone.mp3";
    if (!makeMp3(mp3, 1.0)) GTEST_SKIP() << "sox with MP3 support is not installed";
    session.expect("OPEN \"" + mp3.string() + "\" TYPE MPEGVIDEO alias audio", "1");
    session.expect("setaudio audio volume to " + std::to_string(volumes[i]));
    session.expect("status audio volume", std::to_string(volumes[i]));
    double waited = session.timed("PLAY audio From 0 Wait");
    session.expect("Close audio");
    Rendering r = session.finish();
    levels[i] = r.level();
    std::cout << "MP3 1000 ms sine at volume " << volumes[i] << ": RMS " << levels[i] << ", heard "
              << r.heardMs() << " ms, wait returned after " << waited << " ms\n";
    EXPECT_GT(levels[i], 0.05);
    EXPECT_NEAR(r.heardMs(), 1000, 150);
  }
  std::cout << "level ratio 500/1000: " << levels[1] / levels[0] << "\n";
  EXPECT_NEAR(levels[1] / levels[0], 0.5, 0.05);
}

struct WaitCase {
  const char* name;
  const char* type;
  std::string bytes;
  double lengthMs;
};

TEST(SdlPort, WaitReturnsWhenTheSoundEnds) {
  const WaitCase cases[] = {
      {"tone.wav", "waveaudio", testfiles::waveFile(600, 0.5, 440, kRate), 600},
      // FluidSynth would go on reporting playback for seconds of release after this note.
      {"tone.mid", "sequencer", testfiles::midiNote(500), 500},
  };
  for (const WaitCase& c : cases) {
    DiskSession session;
    ASSERT_TRUE(session.mixing());
    session.open(c.name, c.bytes, c.type);
    session.expect("status audio length", std::to_string(static_cast<int>(c.lengthMs)));
    double waited = session.timed("play audio from 0 wait");
    session.expect("status audio mode", "stopped");
    session.expect("close audio");
    Rendering r = session.finish();
    std::cout << c.name << " of " << c.lengthMs << " ms: wait returned after " << waited
              << " ms; heard " << r.heardMs() << " ms at RMS " << r.level() << "\n";
    EXPECT_GT(waited, c.lengthMs - 30) << c.name;
    EXPECT_LT(waited, c.lengthMs + 150) << c.name;
    EXPECT_GT(r.level(), 0.01) << c.name << " was not heard";
  }
}

TEST(SdlPort, RepeatKeepsPlayingPastTheEnd) {
  DiskSession session;
  ASSERT_TRUE(session.mixing());
  session.open("loop.wav", testfiles::waveFile(300, 0.5, 440, kRate), "MPEGVIDEO");
  session.expect("PLAY audio Notify Repeat");
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  session.expect("status audio mode", "playing");
  session.expect("Close audio");
  Rendering r = session.finish();
  std::cout << "300 ms sound repeated for 1000 ms: heard " << r.heardMs() << " ms\n";
  EXPECT_GT(r.heardMs(), 800);
}

TEST(SdlPort, PausedSoundIsSilentAndGoesOnWhereItWas) {
  DiskSession session;
  ASSERT_TRUE(session.mixing());
  session.open("tone.wav", testfiles::waveFile(600, 0.5, 440, kRate), "MPEGVIDEO");
  session.expect("PLAY audio From 0");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  session.expect("Pause audio");
  session.expect("status audio mode", "paused");
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  session.expect("status audio mode", "paused");
  session.expect("Resume audio");
  double waitedAfterResume = session.timed("play audio wait");
  session.expect("Close audio");
  Rendering r = session.finish();
  std::cout << "600 ms sound paused after 300 ms for 400 ms: heard over " << r.heardMs()
            << " ms, the rest took " << waitedAfterResume << " ms\n";
  EXPECT_NEAR(r.heardMs(), 1000, 150);  // 600 ms of sound around a 400 ms gap
  EXPECT_NEAR(waitedAfterResume, 300, 150);
}

// Without a usable driver the port still answers, through SDL's dummy output.
TEST(SdlPort, MissingDriverFallsBackQuietly) {
  DiskSession session("no-such-driver");
  std::cout << "port opened in " << session.openMs() << " ms without a usable driver\n";
  session.open("tone.wav", testfiles::waveFile(400), "waveaudio");
  double waited = session.timed("play audio from 0 wait");
  std::cout << "400 ms sound on the fallback output: wait returned after " << waited << " ms\n";
  session.expect("status audio mode", "stopped");
  session.expect("close audio");
}

// SDL's sound is one per process: a second port at the same time gets the silent device,
// whose sounds never end by themselves.
TEST(SdlPort, SecondPortIsSilent) {
  DiskSession first;
  ASSERT_TRUE(first.mixing());
  std::unique_ptr<MciPort> second = MakeSdlMciPort([](const std::string& p) { return p; });
  std::string open = "open \"" + first.file("tone.wav", testfiles::waveFile(200)) +
                     "\" type waveaudio alias audio";
  EXPECT_EQ(second->send(open, 128).code, 0u);
  EXPECT_EQ(second->send("play audio from 0", 128).code, 0u);
  first.expect(open, "1");
  first.expect("play audio from 0");
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  first.expect("status audio mode", "stopped");
  EXPECT_EQ(second->send("status audio mode", 128).text, "playing");
}

}  // namespace
}  // namespace inst
