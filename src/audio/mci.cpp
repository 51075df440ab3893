#include "audio/mci.h"

#include <algorithm>
#include <utility>

#include "platform/code_page.h"
#include "text/ascii.h"

namespace inst {
namespace {

constexpr char kQuote = '"';
constexpr std::size_t kModeReplyCapacity = 128;

}  // namespace

// Chosen by the last three characters of the path, not by its extension: "som.mpeg" ends in
// PEG and gets no type, which the device then refuses.
std::string DeviceTypeFor(const std::string& path) {
  const std::string tail = ascii::Upper(path.size() > 3 ? path.substr(path.size() - 3) : path);
  if (tail == "MP3" || tail == "MPG" || tail == "AVI") return "MPEGVIDEO";
  if (tail == "WAV") return "waveaudio";
  if (tail == "MID") return "sequencer";
  return "";
}

mci::mci(MciPort& port, FileSystem& fs, MessageBoxes& boxes,
         std::function<std::string()> applicationTitle)
    : port_(port), fs_(fs), boxes_(boxes), applicationTitle_(std::move(applicationTitle)) {}

void mci::FileName(const std::string& path) {
  if (!fs_.normalFileExists(path)) {
    complain("arquivo de áudio não encontrado");
    return;
  }
  fileName_ = kQuote + path + kQuote;
}

std::string mci::FileName() const {
  std::string path = fileName_;
  path.erase(std::remove(path.begin(), path.end(), kQuote), path.end());
  return path;
}

void mci::PlayMode(int mode) {
  if (mode < 0 || mode > 2) {
    complain("valor encorreto para playmode!");
    return;
  }
  playMode_ = static_cast<std::uint8_t>(mode);
}

std::uint8_t mci::PlayMode() const {
  return playMode_;
}

void mci::volume(int level) {
  if (level < 0 || level > 100) {
    complain("Valor incorreto para o volume");
    return;
  }
  volume_ = static_cast<std::uint8_t>(level);
  send("setaudio audio volume to " + std::to_string(volume_ * 10));
}

std::uint8_t mci::volume() const {
  return volume_;
}

void mci::OpenFile() {
  send("OPEN " + fileName_ + " TYPE " + DeviceTypeFor(FileName()) + " alias audio");
}

void mci::Play() {
  const char* suffix = playMode_ == 0   ? " From 0"
                       : playMode_ == 1 ? " Notify Repeat"
                                        : " From 0 Wait";
  send(std::string("PLAY audio") + suffix);
}

void mci::CloseFile() {
  send("Close audio");
}

void mci::Pause() {
  if (IsPlaying()) {
    send("Pause audio");
  } else {
    Resume();
  }
}

bool mci::IsPlaying() {
  MciReply reply = send("status Audio mode", kModeReplyCapacity);
  return reply.text.compare(0, 7, "playing") == 0;
}

void mci::Resume() {
  send("Resume audio");
}

MciReply mci::send(const std::string& command, std::size_t replyCapacity) {
  MciReply reply = port_.send(toAnsi(command), replyCapacity);
  reply.text = fromAnsi(reply.text);
  return reply;
}

void mci::complain(const std::string& text) {
  boxes_.show(text, applicationTitle_ ? applicationTitle_() : std::string(), MsgIcon::None);
}

}  // namespace inst
