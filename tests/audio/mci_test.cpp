#include "audio/mci.h"

#include <gtest/gtest.h>

#include "audio/fakes.h"

namespace inst {
namespace {

class Player : public ::testing::Test {
 protected:
  RecordingPort port_;
  FakeFiles files_;
  RecordingBoxes boxes_;
  std::string title_ = "Instalação do pacote";
  mci player_{port_, files_, boxes_, [this] { return title_; }};
};

TEST_F(Player, StartUpSendsExactlyThreeCommandsThenExitCloses) {
  // A fresh object only stores its initial values.
  EXPECT_EQ(player_.volume(), 30);
  EXPECT_EQ(player_.PlayMode(), 0);
  EXPECT_EQ(player_.FileName(), "");
  EXPECT_TRUE(port_.sent.empty());

  files_.normal.insert("D:\\Pacote\\Audio\\abertura.mp3");
  player_.FileName("D:\\Pacote\\Audio\\abertura.mp3");
  player_.OpenFile();
  player_.PlayMode(1);
  player_.volume(50);
  player_.Play();
  player_.CloseFile();
  EXPECT_EQ(port_.sent,
            (std::vector<Sent>{
                {"OPEN \"D:\\Pacote\\Audio\\abertura.mp3\" TYPE MPEGVIDEO alias audio", 0},
                {"setaudio audio volume to 500", 0},
                {"PLAY audio Notify Repeat", 0},
                {"Close audio", 0},
            }));
  EXPECT_TRUE(boxes_.shown.empty());
}

// The path reads back without the quotes that the open command puts around it.
TEST_F(Player, DeviceTypeComesFromTheLastThreeCharacters) {
  const struct {
    const char* path;
    const char* type;
  } cases[] = {
      {"D:\\a\\Som.Mp3", "MPEGVIDEO"},
      {"D:\\a\\som.mp3", "MPEGVIDEO"},
      {"D:\\a\\x.WAV", "waveaudio"},
      {"D:\\a\\x.mid", "sequencer"},
      {"D:\\a\\x.MPG", "MPEGVIDEO"},
      {"D:\\a\\x.avi", "MPEGVIDEO"},
      {"D:\\a\\x.ogg", ""},
      {"D:\\a\\som.mpeg", ""},
      {"D:\\a\\x.midi", ""},
      {"D:\\a\\semponto_mp3", "MPEGVIDEO"},  // no dot needed: only the characters count
      {"id", ""},                            // shorter than three: all of it
      {"C:\\Meus Pacotes\\Som de abertura.wav", "waveaudio"},
  };
  for (const auto& c : cases) {
    files_.normal.insert(c.path);
    player_.FileName(c.path);
    EXPECT_EQ(player_.FileName(), c.path);
    player_.OpenFile();
    EXPECT_EQ(port_.commands().back(),
              std::string("OPEN \"") + c.path + "\" TYPE " + c.type + " alias audio")
        << c.path;
  }
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(Player, CommandsCrossThePortInTheAnsiCodePage) {
  const std::string path = "C:\\Áudio\\ação.wav";
  files_.normal.insert(path);
  player_.FileName(path);
  player_.OpenFile();
  EXPECT_EQ(
      port_.commands(),
      std::vector<std::string>{"OPEN \"C:\\\xC1udio\\a\xE7\xE3o.wav\" TYPE waveaudio alias audio"});
  EXPECT_EQ(player_.FileName(), path);
}

TEST_F(Player, VolumeIsSentTimesTenOrRefused) {
  const struct {
    int level;
    const char* sent;  // null: refused with the message, nothing sent
    int stored;
  } cases[] = {
      {0, "setaudio audio volume to 0", 0},
      {100, "setaudio audio volume to 1000", 100},
      {101, nullptr, 100},
      {30, "setaudio audio volume to 300", 30},
      {-1, nullptr, 30},
      {256, nullptr, 30},  // a byte would wrap it to 0; it is refused instead
  };
  for (const auto& c : cases) {
    port_.sent.clear();
    boxes_.shown.clear();
    player_.volume(c.level);
    EXPECT_EQ(player_.volume(), c.stored) << c.level;
    if (c.sent) {
      EXPECT_EQ(port_.sent, (std::vector<Sent>{{c.sent, 0}})) << c.level;
      EXPECT_TRUE(boxes_.shown.empty()) << c.level;
    } else {
      EXPECT_TRUE(port_.sent.empty()) << c.level;
      EXPECT_EQ(boxes_.shown,
                (std::vector<Box>{{"Valor incorreto para o volume", title_, MsgIcon::None}}))
          << c.level;
    }
  }
}

TEST_F(Player, PlayModeChoosesTheSuffixOrIsRefused) {
  const struct {
    int mode;
    bool accepted;
    const char* play;  // what Play sends afterwards
  } cases[] = {
      {2, true, "PLAY audio From 0 Wait"},   {3, false, "PLAY audio From 0 Wait"},
      {1, true, "PLAY audio Notify Repeat"}, {-1, false, "PLAY audio Notify Repeat"},
      {0, true, "PLAY audio From 0"},        {300, false, "PLAY audio From 0"},
  };
  for (const auto& c : cases) {
    boxes_.shown.clear();
    player_.PlayMode(c.mode);
    EXPECT_EQ(boxes_.shown.empty(), c.accepted) << c.mode;
    if (!c.accepted) {
      EXPECT_EQ(boxes_.shown,
                (std::vector<Box>{{"valor encorreto para playmode!", title_, MsgIcon::None}}));
    }
    player_.Play();
    EXPECT_EQ(port_.commands().back(), c.play) << c.mode;
  }
  EXPECT_EQ(port_.sent.size(), 6u);  // setting the mode sends nothing
}

TEST_F(Player, IsPlayingReadsTheFirstSevenCharactersOfTheMode) {
  const struct {
    MciReply reply;
    bool playing;
  } cases[] = {
      {{263, ""}, false},  // nothing open: the reply is never written
      {{0, "playing"}, true},  {{0, "playing and more"}, true}, {{0, "paused"}, false},
      {{0, "stopped"}, false}, {{0, "Playing"}, false},  // letter case counts
      {{0, "play"}, false},
  };
  for (const auto& c : cases) {
    port_.replies = {c.reply};
    EXPECT_EQ(player_.IsPlaying(), c.playing) << c.reply.text;
    EXPECT_EQ(port_.sent.back(), (Sent{"status Audio mode", 128}));
  }
}

// With nothing open the device never answers: Pause resumes, and Close is sent all the same.
TEST_F(Player, PauseTogglesOnTheDeviceMode) {
  port_.replies = {{0, "playing"}};
  player_.Pause();
  port_.replies = {{0, "paused"}};
  player_.Pause();
  player_.Pause();
  player_.CloseFile();
  EXPECT_EQ(port_.commands(),
            (std::vector<std::string>{"status Audio mode", "Pause audio", "status Audio mode",
                                      "Resume audio", "status Audio mode", "Resume audio",
                                      "Close audio"}));
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(Player, MissingFileKeepsTheOldNameAndTellsOnce) {
  player_.FileName("C:\\nada\\abertura.mp3");
  EXPECT_EQ(boxes_.shown, (std::vector<Box>{{"arquivo de áudio não encontrado",
                                             "Instalação do pacote", MsgIcon::None}}));
  EXPECT_EQ(player_.FileName(), "");
  player_.OpenFile();
  EXPECT_EQ(port_.commands(), std::vector<std::string>{"OPEN  TYPE  alias audio"});

  files_.normal.insert("C:\\p\\a.wav");
  player_.FileName("C:\\p\\a.wav");
  title_ = "Outro título";  // the title is the application's at the moment of the message
  player_.FileName("C:\\p\\b.wav");
  EXPECT_EQ(player_.FileName(), "C:\\p\\a.wav");
  ASSERT_EQ(boxes_.shown.size(), 2u);
  EXPECT_EQ(boxes_.shown[1].title, "Outro título");
}

}  // namespace
}  // namespace inst
