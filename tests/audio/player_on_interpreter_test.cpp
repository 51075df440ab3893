// The player together with a real command interpreter: the silent one everywhere, and on
// Windows the system's own, whose answers the silent one must match.

#include <gtest/gtest.h>

#include "audio/fakes.h"
#include "audio/mci.h"
#include "platform/sound/silent_device.h"
#include "platform/sound/test_sound_files.h"

#ifdef _WIN32
#include "platform/win32/win32_mci.h"
#endif

namespace inst {
namespace {

class PlayerOnSilentDevice : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(boxes_.shown.empty()); }
  std::string file(const std::string& name, const std::string& bytes) {
    return *files_.normal.insert(folder_.file(name, bytes)).first;
  }

  testfiles::TempFolder folder_;
  std::unique_ptr<MciPort> silent_ = MakeSilentMciPort([](const std::string& p) { return p; });
  RecordingPort port_{silent_.get()};
  FakeFiles files_;
  RecordingBoxes boxes_;
  mci player_{port_, files_, boxes_, [] { return std::string("t"); }};
};

TEST_F(PlayerOnSilentDevice, WelcomeSoundLoopsPausesAndCloses) {
  player_.FileName(file("abertura.mp3", testfiles::mpegFrames(40)));
  player_.OpenFile();
  player_.PlayMode(1);
  player_.volume(50);
  player_.Play();
  EXPECT_EQ(port_.codes, (std::vector<std::uint32_t>{0, 0, 0}));
  EXPECT_TRUE(player_.IsPlaying());
  player_.Pause();
  EXPECT_FALSE(player_.IsPlaying());
  player_.Pause();
  EXPECT_TRUE(player_.IsPlaying());
  player_.CloseFile();
  EXPECT_FALSE(player_.IsPlaying());
  EXPECT_EQ(port_.codes.back(), 263u);
}

TEST_F(PlayerOnSilentDevice, WaitingModeReturnsWhenDone) {
  player_.FileName(file("som.wav", testfiles::waveFile(200, 0.5, 440, 8000)));
  player_.OpenFile();
  player_.PlayMode(2);
  player_.volume(80);  // the wave device has no volume: refused, and nothing changes
  player_.Play();
  EXPECT_EQ(port_.codes, (std::vector<std::uint32_t>{0, 261, 0}));
  EXPECT_FALSE(player_.IsPlaying());
}

// Answers that do not depend on a sound card, so the system's interpreter under Wine gives
// them too.
struct Exchange {
  std::string command;
  std::uint32_t code;
  std::string reply = "";
};

std::vector<Exchange> exchanges(const testfiles::TempFolder& folder) {
  std::string wav = folder.file("tone.wav", testfiles::waveFile(1000, 0.5, 440, 8000));
  std::string mid = folder.file("tone.mid", testfiles::midiNote(500));
  std::string bad = folder.file("bad.wav", "not a sound");
  std::string empty = folder.file("empty.wav", "");
  std::string ogg = folder.file("tone.ogg", testfiles::waveFile(100));
  std::string missing = (folder.path() / "missing.wav").string();
  return {
      {"close audio", 263},
      {"status audio mode", 263 /* Wine says 281 */},
      {"OPEN \"" + missing + "\" TYPE waveaudio alias audio", 275},
      {"OPEN \"" + ogg + "\" TYPE  alias audio", 263},
      {"OPEN  TYPE  alias audio", 263},
      {"OPEN \"" + bad + "\" TYPE waveaudio alias audio", 296},
      {"OPEN \"" + empty + "\" TYPE waveaudio alias audio", 296},
      {"OPEN \"" + wav + "\" TYPE waveaudio alias audio", 0, "1"},
      {"OPEN \"" + wav + "\" TYPE waveaudio alias AUDIO", 289},
      {"status audio mode", 0, "stopped"},
      {"status audio length", 0, "1000"},
      {"setaudio audio volume to 500", 261},
      {"PLAY audio Notify Repeat", 261},
      {"play audio foo", 261},
      {"status audio", 273},
      {"status audio foo", 261},
      {"status", 292},
      {"OPEN \"" + wav + " TYPE waveaudio alias b", 294},
      {"Close audio", 0},
      {"close audio", 263},
      {"OPEN \"" + mid + "\" TYPE sequencer alias audio", 0, "1"},
      {"PLAY audio Notify Repeat", 261},
      {"setaudio audio volume to 500", 261},
      {"Close audio", 0},
  };
}

void expectExchanges(MciPort& port, const std::vector<Exchange>& list, const char* who) {
  for (const Exchange& e : list) {
    MciReply reply = port.send(e.command, 128);
    EXPECT_EQ(reply.code, e.code) << who << ": " << e.command;
    EXPECT_EQ(reply.text, e.reply) << who << ": " << e.command;
  }
}

TEST(Interpreters, SilentOneAnswersAsWindows) {
  testfiles::TempFolder folder;
  std::vector<Exchange> list = exchanges(folder);
  expectExchanges(*MakeSilentMciPort([](const std::string& p) { return p; }), list, "silent");
#ifdef _WIN32
  Win32MciPort system;
  list.erase(list.begin() + 1);  // Wine reads an unknown alias as a file name
  expectExchanges(system, list, "winmm");
#endif
}

#ifdef _WIN32
TEST(Interpreters, SystemOneWithoutAReplyBuffer) {
  Win32MciPort system;
  MciReply reply = system.send("status audio mode", 0);
  EXPECT_NE(reply.code, 0u);
  EXPECT_EQ(reply.text, "");
  FakeFiles files;
  RecordingBoxes boxes;
  mci player(system, files, boxes, [] { return std::string("t"); });
  EXPECT_FALSE(player.IsPlaying());
  player.Pause();
  player.CloseFile();
  EXPECT_TRUE(boxes.shown.empty());
}
#endif

}  // namespace
}  // namespace inst
