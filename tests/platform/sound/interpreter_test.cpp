#include "platform/sound/interpreter.h"

#include <gtest/gtest.h>

#include <utility>

#include "platform/sound/mci_errors.h"
#include "platform/sound/silent_device.h"
#include "platform/sound/test_sound_files.h"

namespace inst::sound {
namespace {

// A device that records what the interpreter asks of it, with an end the test decides.
struct DeviceLog {
  std::vector<std::string> calls;
  bool sounding = false;
  std::uint32_t position = 0;
  bool refuse = false;
};

class FakeSound final : public Sound {
 public:
  FakeSound(DeviceLog& log, std::uint32_t length) : log_(log), length_(length) {}
  ~FakeSound() override { log_.calls.push_back("free"); }
  std::uint32_t lengthMs() override { return length_; }
  std::uint32_t positionMs() override { return log_.position; }
  bool sounding() override { return log_.sounding; }
  void start(std::uint32_t fromMs, bool repeat) override {
    log_.calls.push_back("start " + std::to_string(fromMs) + (repeat ? " repeat" : ""));
    log_.position = fromMs;
    log_.sounding = true;
  }
  void halt() override {
    log_.calls.push_back("halt");
    log_.sounding = false;
  }
  void proceed() override {
    log_.calls.push_back("proceed");
    log_.sounding = true;
  }
  void setLevel(double amplitude) override {
    log_.calls.push_back("level " + std::to_string(static_cast<int>(amplitude * 1000 + 0.5)));
  }
  void waitForEnd() override {
    log_.calls.push_back("wait");
    log_.sounding = false;
    log_.position = length_;
  }

 private:
  DeviceLog& log_;
  std::uint32_t length_;
};

class FakeDevice final : public SoundDevice {
 public:
  explicit FakeDevice(DeviceLog& log) : log_(log) {}
  std::unique_ptr<Sound> load(const std::string& nativePath, DeviceType type,
                              const Media& media) override {
    static const char* const kTypes[] = {"MPEGVIDEO", "waveaudio", "sequencer"};
    log_.calls.push_back("load " + nativePath + " " + kTypes[static_cast<int>(type)]);
    if (log_.refuse) return nullptr;
    return std::make_unique<FakeSound>(log_, media.lengthMs);
  }

 private:
  DeviceLog& log_;
};

// The sound files every case may use, in one folder that commands name as {dir}.
class SoundFolder {
 public:
  SoundFolder() {
    folder_.file("tone.wav", testfiles::waveFile(1000, 0.5, 440, 8000));
    folder_.file("with blank.wav", testfiles::waveFile(100, 0.5, 440, 8000));
    folder_.file("tone.mp3", testfiles::mpegFrames(40));  // 1045 ms
    folder_.file("tone.mid", testfiles::midiNote(500));
    folder_.file("tone.ogg", "OggS" + std::string(60, '\0'));
    folder_.file("tone", testfiles::waveFile(100, 0.5, 440, 8000));
    folder_.file("bad.wav", "not a sound at all");
    std::filesystem::create_directory(folder_.path() / "folder.wav");
  }
  std::string dir() const { return folder_.path().generic_string(); }
  std::string expand(std::string text) const {
    for (std::size_t at; (at = text.find("{dir}")) != std::string::npos;) {
      text.replace(at, 5, dir());
    }
    return text;
  }

 private:
  testfiles::TempFolder folder_;
};

struct Step {
  std::string command;
  std::uint32_t code;
  std::string reply = "";
};

struct Script {
  const char* name;
  std::vector<Step> steps;
};

const std::string kOpenWave = R"(open "{dir}/tone.wav" type waveaudio alias audio)";
const std::string kOpenMpeg = R"(OPEN "{dir}/tone.mp3" TYPE MPEGVIDEO alias audio)";
const std::string kOpenMidi = R"(open "{dir}/tone.mid" type sequencer alias audio)";

std::vector<Script> scripts() {
  using namespace mcierr;
  return {
      {"open, ask, close; keywords and alias in any case",
       {{kOpenWave, kNone, "1"},
        {"status audio mode", kNone, "stopped"},
        {"Status Audio Length", kNone, "1000"},
        {"status audio position", kNone, "0"},
        {"status audio ready", kNone, "true"},
        {"status audio time format", kNone, "milliseconds"},
        {"status audio mode wait notify", kNone, "stopped"},
        {"Close audio", kNone},
        {"status audio mode", kInvalidDeviceName}}},
      {"nothing open; words the interpreter does not know",
       {{"close audio", kInvalidDeviceName},
        {"status Audio mode", kInvalidDeviceName},
        {"Resume audio", kInvalidDeviceName},
        {"close all", kNone},
        {"   \t ", kMissingCommandString},
        {"status", kMissingDeviceName},
        {"seek audio to start", kUnrecognizedCommand},
        {R"(open "{dir}/tone.wav type waveaudio alias audio)", kNoClosingQuote}}},
      {"files and types that do not open",
       {{R"(OPEN "{dir}/missing.wav" TYPE waveaudio alias audio)", kFileNotFound},
        {R"(OPEN "{dir}/tone.ogg" TYPE  alias audio)", kInvalidDeviceName},
        {R"(OPEN "" TYPE  alias audio)", kInvalidDeviceName},
        {"OPEN  TYPE  alias audio", kInvalidDeviceName},
        {R"(OPEN "" TYPE waveaudio alias audio)", kFileNotFound},
        {R"(open "{dir}/tone.wav" type cdaudio alias audio)", kInvalidDeviceName},
        {R"(open "{dir}/tone.wav" type)", kMissingParameter},
        {R"(open "{dir}/tone.wav" type waveaudio alias)", kMissingParameter},
        {R"(open "{dir}/tone.wav" type waveaudio alias audio loudly)", kUnrecognizedCommand},
        {R"(open "{dir}/bad.wav" type waveaudio alias audio)", kInvalidFile},
        {R"(open "{dir}/folder.wav" type waveaudio alias audio)", kInvalidFile},
        {R"(open "{dir}/tone.mp3" type waveaudio alias audio)", kInvalidFile},
        {R"(open "{dir}/tone.wav" type sequencer alias audio)", kInvalidFile},
        {R"(open "{dir}/tone.ogg" alias audio)", kExtensionNotFound},
        {R"(open "{dir}/tone" alias audio)", kInvalidDeviceName},
        {"open waveaudio alias audio", kUnsupportedFunction},
        {"status audio mode", kInvalidDeviceName}}},
      {"the type follows the extension when none is given",
       {{R"(open "{dir}/tone.wav" alias a)", kNone, "1"},
        {"setaudio a volume to 10", kUnrecognizedCommand},
        {"close a", kNone},
        {R"(open "{dir}/tone.mp3" alias a)", kNone, "1"},
        {"setaudio a volume to 10", kNone},
        {"close a", kNone},
        {R"(open {dir}/tone.mid alias a)", kNone, "1"},
        {"resume a", kUnsupportedFunction},
        {"close a", kNone}}},
      {"one device at a time",
       {{kOpenWave, kNone, "1"},
        {kOpenMpeg, kDuplicateAlias},
        {R"(open "{dir}/tone.mp3" type MPEGVIDEO alias other)", kMustUseShareable},
        {"status audio mode", kNone, "stopped"},
        {"status other mode", kInvalidDeviceName},
        {"close audio", kNone},
        {R"(open "{dir}/tone.mp3" type MPEGVIDEO alias other)", kNone, "1"},
        {"close all", kNone},
        {"status other mode", kInvalidDeviceName}}},
      {"without an alias the element names the device",
       {{R"(open "{dir}/with blank.wav" type waveaudio)", kNone, "1"},
        {R"(status "{dir}/WITH BLANK.WAV" mode)", kNone, "stopped"},
        {R"(close "{dir}/with blank.wav")", kNone}}},
      {"digital video: play, pause, resume, stop",
       {{kOpenMpeg, kNone, "1"},
        {"pause audio", kNonapplicableFunction},
        {"resume audio", kNonapplicableFunction},
        {"PLAY audio Notify Repeat", kNone},
        {"status audio mode", kNone, "playing"},
        {"Pause audio", kNone},
        {"status audio mode", kNone, "paused"},
        {"pause audio", kNone},
        {"status audio mode", kNone, "paused"},
        {"Resume audio", kNone},
        {"status audio mode", kNone, "playing"},
        {"resume audio", kNone},
        {"stop audio", kNone},
        {"status audio mode", kNone, "stopped"},
        {"resume audio", kNonapplicableFunction},
        {"play audio", kNone},
        {"status audio mode", kNone, "playing"},
        {"pause audio now", kUnrecognizedCommand},
        {"close audio", kNone}}},
      {"digital video volume",
       {{kOpenMpeg, kNone, "1"},
        {"status audio volume", kNone, "1000"},
        {"setaudio audio volume to 500", kNone},
        {"status audio volume", kNone, "500"},
        {"setaudio audio volume to 1000 wait", kNone},
        {"setaudio audio volume to 1001", kOutOfRange},
        {"setaudio audio volume to -1", kOutOfRange},
        {"setaudio audio volume to 5x", kBadInteger},
        {"setaudio audio volume to 99999999999", kBadInteger},
        {"setaudio audio volume to", kMissingParameter},
        {"setaudio audio volume", kMissingParameter},
        {"setaudio audio", kMissingParameter},
        {"setaudio audio volume at 5", kUnrecognizedCommand},
        {"setaudio audio volume to 5 6", kUnrecognizedCommand},
        {"setaudio audio bass to 5", kUnrecognizedCommand},
        {"status audio volume", kNone, "1000"}}},
      {"wave audio: no volume, no repeat",
       {{kOpenWave, kNone, "1"},
        {"setaudio audio volume to 500", kUnrecognizedCommand},
        {"status audio volume", kUnrecognizedCommand},
        {"PLAY audio Notify Repeat", kUnrecognizedCommand},
        {"status audio mode", kNone, "stopped"},
        {"PLAY audio From 0", kNone},
        {"status audio mode", kNone, "playing"},
        {"Pause audio", kNone},
        {"status audio mode", kNone, "paused"},
        {"Resume audio", kNone},
        {"status audio mode", kNone, "playing"}}},
      {"sequencer: pause stops, resume is refused, play goes on",
       {{kOpenMidi, kNone, "1"},
        {"status audio length", kNone, "500"},
        {"setaudio audio volume to 500", kUnrecognizedCommand},
        {"PLAY audio Notify Repeat", kUnrecognizedCommand},
        {"PLAY audio From 0", kNone},
        {"status audio mode", kNone, "playing"},
        {"Pause audio", kNone},
        {"status audio mode", kNone, "stopped"},
        {"Resume audio", kUnsupportedFunction},
        {"play audio", kNone},
        {"status audio mode", kNone, "playing"}}},
      {"play arguments",
       {{kOpenWave, kNone, "1"},
        {"play audio from", kMissingParameter},
        {"play audio from x", kBadInteger},
        {"play audio from -5", kOutOfRange},
        {"play audio from 1001", kOutOfRange},
        {"play audio to 10", kUnrecognizedCommand},
        {"status audio mode", kNone, "stopped"},
        {"PLAY audio From 0 Wait", kNone},
        {"status audio mode", kNone, "stopped"},
        {"status audio position", kNone, "1000"},
        {"play audio", kNone},
        {"status audio mode", kNone, "stopped"},
        {"play audio from 1000 notify", kNone}}},
      {"a looping sound cannot be waited for",
       {{kOpenMpeg, kNone, "1"},
        {"play audio repeat wait", kFlagsNotCompatible},
        {"play audio repeat", kNone},
        {"play audio wait", kFlagsNotCompatible},
        {"status audio mode", kNone, "playing"}}},
      {"status items",
       {{kOpenWave, kNone, "1"},
        {"status audio", kMissingParameter},
        {"status audio wait", kMissingParameter},
        {"status audio colour", kUnrecognizedCommand},
        {"status audio time", kUnrecognizedCommand},
        {"status audio mode length", kFlagsNotCompatible}}},
  };
}

void runScript(MciPort& port, const SoundFolder& folder, const Script& script) {
  for (const Step& step : script.steps) {
    std::string command = folder.expand(step.command);
    MciReply reply = port.send(command, 128);
    EXPECT_EQ(reply.code, step.code) << script.name << ": " << step.command;
    EXPECT_EQ(reply.text, step.reply) << script.name << ": " << step.command;
  }
}

// The silent device, and the fake one that lets the states be seen, answer alike.
TEST(Interpreter, FollowsTheWindowsGrammar) {
  SoundFolder folder;
  for (const Script& script : scripts()) {
    DeviceLog log;
    CommandInterpreter fake(std::make_unique<FakeDevice>(log), nullptr);
    runScript(fake, folder, script);
    runScript(*MakeSilentMciPort([](const std::string& p) { return p; }), folder, script);
  }
}

TEST(Interpreter, ReplyMustFitTheBuffer) {
  SoundFolder folder;
  std::unique_ptr<MciPort> port = MakeSilentMciPort(nullptr);
  ASSERT_EQ(port->send(folder.expand(kOpenWave), 0).code, mcierr::kNone);
  struct {
    std::size_t capacity;
    std::uint32_t code;
    const char* text;
  } cases[] = {
      {0, mcierr::kNone, ""},  // no buffer: no reply, and no complaint
      {7, mcierr::kParamOverflow, ""},
      {8, mcierr::kNone, "stopped"},
      {128, mcierr::kNone, "stopped"},
  };
  for (const auto& c : cases) {
    MciReply reply = port->send("status audio mode", c.capacity);
    EXPECT_EQ(reply.code, c.code) << c.capacity;
    EXPECT_EQ(reply.text, c.text) << c.capacity;
  }
}

class DeviceCalls : public ::testing::Test {
 protected:
  MciReply send(const std::string& command) { return port_.send(folder_.expand(command), 128); }
  std::vector<std::string> takeCalls() { return std::exchange(log_.calls, {}); }

  SoundFolder folder_;
  DeviceLog log_;
  CommandInterpreter port_{std::make_unique<FakeDevice>(log_), nullptr};
};

TEST_F(DeviceCalls, OpenLoadsAndPlayStartsResumesOrLeavesAlone) {
  const struct {
    std::string command;
    std::vector<std::string> calls;
  } steps[] = {
      // The named type, not the file's extension, chooses the device.
      {kOpenWave, {"load {dir}/tone.wav waveaudio"}},
      {"close audio", {"free"}},
      {R"(open "{dir}/tone.mid" type MPEGVIDEO alias audio)", {"load {dir}/tone.mid MPEGVIDEO"}},
      {"close audio", {"free"}},
      {kOpenMpeg, {"load {dir}/tone.mp3 MPEGVIDEO"}},
      {"play audio", {"start 0"}},
      {"play audio", {}},  // already playing
      {"pause audio", {"halt"}},
      {"play audio", {"proceed"}},
      {"pause audio", {"halt"}},
      {"play audio notify repeat", {"start 0 repeat"}},  // the loop flag needs a fresh start
      {"stop audio", {"halt"}},
      {"play audio repeat", {"proceed"}},
      {"play audio from 300", {"start 300"}},
      {"setaudio audio volume to 250", {"level 250"}},
      {"play audio from 0 wait", {"start 0", "wait"}},
      {"play audio", {}},  // at the end: nothing left to play
      {"play audio repeat", {"start 0 repeat"}},
      {"close audio", {"free"}},
      // The sequencer cannot hold a note: pause halts it, resume is refused, play goes on.
      {kOpenMidi, {"load {dir}/tone.mid sequencer"}},
      {"play audio from 0", {"start 0"}},
      {"pause audio", {"halt"}},
      {"resume audio", {}},
      {"play audio", {"proceed"}},
  };
  for (const auto& step : steps) {
    send(step.command);
    std::vector<std::string> expected = step.calls;
    for (std::string& call : expected) call = folder_.expand(call);
    EXPECT_EQ(takeCalls(), expected) << step.command;
  }
}

TEST_F(DeviceCalls, AnEndThatCameUnaskedIsSeen) {
  ASSERT_EQ(send(kOpenWave).code, 0u);
  send("play audio");
  EXPECT_EQ(send("status audio mode").text, "playing");
  log_.sounding = false;  // the sound ran out
  log_.position = 1000;
  EXPECT_EQ(send("status audio mode").text, "stopped");
  EXPECT_EQ(send("pause audio").code, mcierr::kNonapplicableFunction);
  takeCalls();
  send("play audio");
  EXPECT_EQ(takeCalls(), std::vector<std::string>{});
  EXPECT_EQ(send("status audio mode").text, "stopped");
}

TEST_F(DeviceCalls, ADeviceThatRefusesTheFileLeavesNothingOpen) {
  log_.refuse = true;
  EXPECT_EQ(send(kOpenWave).code, mcierr::kInvalidFile);
  EXPECT_EQ(send("status audio mode").code, mcierr::kInvalidDeviceName);
}

// The command comes in the ANSI code page with a Windows path; the file is found through the
// resolver, which works on program text.
TEST(Interpreter, PathIsDecodedAndResolved) {
  SoundFolder folder;
  std::vector<std::string> asked;
  std::unique_ptr<MciPort> port = MakeSilentMciPort([&](const std::string& windowsPath) {
    asked.push_back(windowsPath);
    return folder.dir() + "/tone.wav";
  });
  MciReply reply =
      port->send("OPEN \"C:\\Pacote\\\xC1udio\\Som.wav\" TYPE waveaudio alias audio", 128);
  EXPECT_EQ(reply.code, 0u);
  EXPECT_EQ(asked, std::vector<std::string>{"C:\\Pacote\\\xC3\x81udio\\Som.wav"});
}

}  // namespace
}  // namespace inst::sound
