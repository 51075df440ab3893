#include "platform/sound/interpreter.h"

#include <algorithm>
#include <utility>

#include "platform/file_start.h"
#include "platform/sound/mci_errors.h"
#include "platform/sound/media_probe.h"
#include "text/ascii.h"
#include "text/cp1252.h"

namespace inst::sound {
namespace {

using Words = std::vector<std::string>;

// More than any sound file an installer package would carry; a larger file is still played,
// only its length is left to the device.
constexpr std::uintmax_t kProbeLimit = 64u << 20;

bool same(const std::string& a, std::string_view b) {
  return ascii::EqualIgnoringCase(a, b);
}

bool isFlag(const std::string& word) {
  return same(word, "wait") || same(word, "notify");
}
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Splits at blanks; a word that starts with a double quote runs to the next one.
std::optional<Words> splitWords(const std::string& command) {
  Words words;
  std::size_t i = 0;
  while (true) {
    while (i < command.size() && isBlank(command[i])) ++i;
    if (i == command.size()) return words;
    if (command[i] == '"') {
      std::size_t close = command.find('"', i + 1);
      if (close == std::string::npos) return std::nullopt;
      words.push_back(command.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      std::size_t end = i;
      while (end < command.size() && !isBlank(command[end])) ++end;
      words.push_back(command.substr(i, end - i));
      i = end;
    }
  }
}

enum class Number { Ok, Bad, Negative };

Number readNumber(const std::string& word, std::uint32_t& value) {
  std::size_t i = word.empty() || (word[0] != '-' && word[0] != '+') ? 0 : 1;
  if (i == word.size()) return Number::Bad;
  std::uint64_t n = 0;
  for (std::size_t k = i; k < word.size(); ++k) {
    if (word[k] < '0' || word[k] > '9') return Number::Bad;
    n = n * 10 + static_cast<std::uint64_t>(word[k] - '0');
    if (n > 0xFFFFFFFFu) return Number::Bad;
  }
  if (word[0] == '-' && n != 0) return Number::Negative;
  value = static_cast<std::uint32_t>(n);
  return Number::Ok;
}

std::optional<DeviceType> namedType(const std::string& name) {
  if (same(name, "mpegvideo")) return DeviceType::MpegVideo;
  if (same(name, "waveaudio")) return DeviceType::WaveAudio;
  if (same(name, "sequencer")) return DeviceType::Sequencer;
  return std::nullopt;
}

// Without a type the file's extension decides, as the system's extension table does; a name
// without an extension is taken for a device name.
std::optional<DeviceType> typeByExtension(const std::string& element, std::uint32_t& code) {
  std::size_t nameStart = element.find_last_of("\\/:");
  std::string name = nameStart == std::string::npos ? element : element.substr(nameStart + 1);
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) {
    code = namedType(name) ? mcierr::kUnsupportedFunction : mcierr::kInvalidDeviceName;
    return std::nullopt;
  }
  std::string ext = name.substr(dot + 1);
  if (same(ext, "wav")) return DeviceType::WaveAudio;
  if (same(ext, "mid") || same(ext, "rmi")) return DeviceType::Sequencer;
  for (std::string_view video : {"mp3", "mp2", "mpa", "mpg", "mpeg", "mpe", "m1v", "avi"}) {
    if (same(ext, video)) return DeviceType::MpegVideo;
  }
  code = mcierr::kExtensionNotFound;
  return std::nullopt;
}

bool accepts(DeviceType type, Format format) {
  switch (type) {
    case DeviceType::WaveAudio:
      return format == Format::Wave;
    case DeviceType::Sequencer:
      return format == Format::Midi;
    case DeviceType::MpegVideo:
      return format != Format::Unknown;
  }
  return false;
}

// Only the flags that every command takes may follow.
bool onlyFlags(const Words& words, std::size_t from) {
  return std::all_of(words.begin() + static_cast<std::ptrdiff_t>(from), words.end(), isFlag);
}

}  // namespace

CommandInterpreter::CommandInterpreter(std::unique_ptr<SoundDevice> device,
                                       PathResolver resolvePath)
    : device_(std::move(device)), resolvePath_(std::move(resolvePath)) {}

CommandInterpreter::~CommandInterpreter() = default;

MciReply CommandInterpreter::send(const std::string& command, std::size_t replyCapacity) {
  Outcome outcome;
  if (std::optional<Words> words = splitWords(command)) {
    outcome = words->empty() ? Outcome{mcierr::kMissingCommandString, {}} : run(*words);
  } else {
    outcome.code = mcierr::kNoClosingQuote;
  }
  MciReply reply;
  reply.code = outcome.code;
  if (outcome.code != mcierr::kNone || replyCapacity == 0) return reply;
  if (outcome.reply.size() >= replyCapacity) {
    reply.code = mcierr::kParamOverflow;
    return reply;
  }
  reply.text = std::move(outcome.reply);
  return reply;
}

CommandInterpreter::Outcome CommandInterpreter::run(const Words& words) {
  const std::string& verb = words[0];
  static constexpr std::string_view kVerbs[] = {"open",   "close", "play",   "pause",
                                                "resume", "stop",  "status", "setaudio"};
  if (std::none_of(std::begin(kVerbs), std::end(kVerbs),
                   [&](std::string_view v) { return same(verb, v); })) {
    return {mcierr::kUnrecognizedCommand, {}};
  }
  if (words.size() < 2) return {mcierr::kMissingDeviceName, {}};
  if (same(verb, "open")) return open(words);

  if (same(verb, "close") && same(words[1], "all")) {
    if (!onlyFlags(words, 2)) return {mcierr::kUnrecognizedCommand, {}};
    open_.reset();
    return {};
  }
  if (!open_ || !same(open_->alias, words[1])) return {mcierr::kInvalidDeviceName, {}};
  Open& device = *open_;
  if (same(verb, "close")) {
    if (!onlyFlags(words, 2)) return {mcierr::kUnrecognizedCommand, {}};
    open_.reset();
    return {};
  }
  if (same(verb, "play")) return play(device, words);
  if (same(verb, "pause")) return pause(device, words);
  if (same(verb, "resume")) return resume(device, words);
  if (same(verb, "stop")) return stop(device, words);
  if (same(verb, "status")) return status(device, words);
  return setaudio(device, words);
}

CommandInterpreter::Outcome CommandInterpreter::open(const Words& words) {
  const std::string& element = words[1];
  std::optional<std::string> typeName, alias;
  bool unknownWord = false;
  for (std::size_t i = 2; i < words.size(); ++i) {
    if (same(words[i], "type") || same(words[i], "alias")) {
      if (i + 1 == words.size()) return {mcierr::kMissingParameter, {}};
      (same(words[i], "type") ? typeName : alias) = words[i + 1];
      ++i;
    } else if (!isFlag(words[i]) && !same(words[i], "shareable")) {
      unknownWord = true;
    }
  }
  // The device type is settled first: the rest of the command is read by that device's rules,
  // which is why "TYPE  alias audio" fails on the type "alias", not on the stray "audio".
  std::uint32_t typeError = mcierr::kInvalidDeviceName;
  std::optional<DeviceType> type =
      typeName ? namedType(*typeName) : typeByExtension(element, typeError);
  if (!type) return {typeError, {}};
  if (unknownWord) return {mcierr::kUnrecognizedCommand, {}};

  std::string name = alias.value_or(element);
  if (open_) {
    return {same(open_->alias, name) ? mcierr::kDuplicateAlias : mcierr::kMustUseShareable, {}};
  }

  std::string nativePath = resolvePath_ ? resolvePath_(cp1252::decode(element)) : element;
  // Through the platform rather than std::filesystem and iostreams, which would bring a third of
  // a megabyte into the Windows executable.
  FileStart file = ReadFileStart(nativePath, static_cast<std::size_t>(kProbeLimit));
  if (element.empty() || file.state == FileStart::State::Missing)
    return {mcierr::kFileNotFound, {}};
  if (file.state != FileStart::State::Read) return {mcierr::kInvalidFile, {}};
  Media media = probeMedia(file.bytes);
  if (file.size > kProbeLimit) media.lengthMs = 0;
  if (!accepts(*type, media.format)) return {mcierr::kInvalidFile, {}};

  std::unique_ptr<Sound> sound = device_->load(nativePath, *type, media);
  if (!sound) return {mcierr::kInvalidFile, {}};
  open_.emplace(Open{name, *type, std::move(sound)});
  return {mcierr::kNone, "1"};
}

CommandInterpreter::Outcome CommandInterpreter::play(Open& device, const Words& words) {
  std::optional<std::uint32_t> from;
  bool repeat = false, wait = false;
  for (std::size_t i = 2; i < words.size(); ++i) {
    if (same(words[i], "from")) {
      if (i + 1 == words.size()) return {mcierr::kMissingParameter, {}};
      std::uint32_t value = 0;
      Number n = readNumber(words[++i], value);
      if (n == Number::Bad) return {mcierr::kBadInteger, {}};
      if (n == Number::Negative) return {mcierr::kOutOfRange, {}};
      from = value;
    } else if (same(words[i], "repeat") && device.type == DeviceType::MpegVideo) {
      repeat = true;
    } else if (same(words[i], "wait")) {
      wait = true;
    } else if (!same(words[i], "notify")) {
      return {mcierr::kUnrecognizedCommand, {}};
    }
  }
  // A looping sound never ends, so nothing could ever wake the caller.
  if (wait && repeat) return {mcierr::kFlagsNotCompatible, {}};
  catchUp(device);
  Sound& sound = *device.sound;
  std::uint32_t length = sound.lengthMs();
  if (from && length && *from > length) return {mcierr::kOutOfRange, {}};

  if (from) {
    sound.start(*from, repeat);
    device.repeating = repeat;
  } else if (device.state == State::Playing) {
    if (wait && device.repeating) return {mcierr::kFlagsNotCompatible, {}};
  } else if (device.state == State::Paused || device.halted) {
    if (repeat != device.repeating) {
      sound.start(sound.positionMs(), repeat);
    } else {
      sound.proceed();
    }
    device.repeating = repeat;
  } else {
    // From where it stands; at the end there is nothing left to play, unless it loops.
    std::uint32_t position = sound.positionMs();
    bool atEnd = length && position >= length;
    if (atEnd && !repeat) return {};
    sound.start(atEnd ? 0 : position, repeat);
    device.repeating = repeat;
  }
  device.state = State::Playing;
  device.halted = false;
  if (wait) {
    sound.waitForEnd();
    catchUp(device);
  }
  return {};
}

CommandInterpreter::Outcome CommandInterpreter::pause(Open& device, const Words& words) {
  if (!onlyFlags(words, 2)) return {mcierr::kUnrecognizedCommand, {}};
  catchUp(device);
  if (device.type == DeviceType::Sequencer) {
    // The sequencer cannot hold a note: pausing stops it where it is.
    return stop(device, words);
  }
  if (device.state == State::Stopped) return {mcierr::kNonapplicableFunction, {}};
  if (device.state == State::Playing) {
    device.sound->halt();
    device.state = State::Paused;
  }
  return {};
}

CommandInterpreter::Outcome CommandInterpreter::resume(Open& device, const Words& words) {
  if (!onlyFlags(words, 2)) return {mcierr::kUnrecognizedCommand, {}};
  if (device.type == DeviceType::Sequencer) return {mcierr::kUnsupportedFunction, {}};
  catchUp(device);
  if (device.state == State::Stopped) return {mcierr::kNonapplicableFunction, {}};
  if (device.state == State::Paused) {
    device.sound->proceed();
    device.state = State::Playing;
  }
  return {};
}

CommandInterpreter::Outcome CommandInterpreter::stop(Open& device, const Words& words) {
  if (!onlyFlags(words, 2)) return {mcierr::kUnrecognizedCommand, {}};
  catchUp(device);
  if (device.state != State::Stopped) {
    device.sound->halt();
    device.state = State::Stopped;
    device.halted = true;
  }
  return {};
}

CommandInterpreter::Outcome CommandInterpreter::status(Open& device, const Words& words) {
  enum class Item { Mode, Length, Position, Ready, Volume, TimeFormat };
  std::optional<Item> item;
  for (std::size_t i = 2; i < words.size(); ++i) {
    std::optional<Item> found;
    if (same(words[i], "mode")) found = Item::Mode;
    if (same(words[i], "length")) found = Item::Length;
    if (same(words[i], "position")) found = Item::Position;
    if (same(words[i], "ready")) found = Item::Ready;
    if (same(words[i], "volume") && device.type == DeviceType::MpegVideo) found = Item::Volume;
    if (same(words[i], "time") && i + 1 < words.size() && same(words[i + 1], "format")) {
      found = Item::TimeFormat;
      ++i;
    }
    if (found) {
      if (item) return {mcierr::kFlagsNotCompatible, {}};
      item = found;
    } else if (!isFlag(words[i])) {
      return {mcierr::kUnrecognizedCommand, {}};
    }
  }
  if (!item) return {mcierr::kMissingParameter, {}};
  catchUp(device);
  Sound& sound = *device.sound;
  switch (*item) {
    case Item::Mode:
      return {mcierr::kNone, device.state == State::Playing  ? "playing"
                             : device.state == State::Paused ? "paused"
                                                             : "stopped"};
    case Item::Length:
      return {mcierr::kNone, std::to_string(sound.lengthMs())};
    case Item::Position: {
      std::uint32_t length = sound.lengthMs(), position = sound.positionMs();
      return {mcierr::kNone, std::to_string(length ? std::min(position, length) : position)};
    }
    case Item::Ready:
      return {mcierr::kNone, "true"};
    case Item::Volume:
      return {mcierr::kNone, std::to_string(device.level)};
    case Item::TimeFormat:
      return {mcierr::kNone, "milliseconds"};
  }
  return {};
}

CommandInterpreter::Outcome CommandInterpreter::setaudio(Open& device, const Words& words) {
  // Only the digital-video device has an audio level; the others do not know the command.
  if (device.type != DeviceType::MpegVideo) return {mcierr::kUnrecognizedCommand, {}};
  Words items;
  std::copy_if(words.begin() + 2, words.end(), std::back_inserter(items),
               [](const std::string& w) { return !isFlag(w); });
  if (items.empty()) return {mcierr::kMissingParameter, {}};
  if (!same(items[0], "volume")) return {mcierr::kUnrecognizedCommand, {}};
  if (items.size() < 2 || !same(items[1], "to")) {
    return {items.size() < 2 ? mcierr::kMissingParameter : mcierr::kUnrecognizedCommand, {}};
  }
  if (items.size() < 3) return {mcierr::kMissingParameter, {}};
  if (items.size() > 3) return {mcierr::kUnrecognizedCommand, {}};
  std::uint32_t level = 0;
  Number n = readNumber(items[2], level);
  if (n == Number::Bad) return {mcierr::kBadInteger, {}};
  if (n == Number::Negative || level > 1000) return {mcierr::kOutOfRange, {}};
  device.level = level;
  device.sound->setLevel(level / 1000.0);
  return {};
}

void CommandInterpreter::catchUp(Open& device) {
  if (device.state == State::Playing && !device.sound->sounding()) {
    device.state = State::Stopped;
    device.halted = false;
  }
}

}  // namespace inst::sound
