#include "platform/sound/media_probe.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <vector>

namespace inst::sound {
namespace {

std::uint32_t byteAt(std::string_view b, std::size_t i) {
  return static_cast<unsigned char>(b[i]);
}

std::uint32_t be16(std::string_view b, std::size_t i) {
  return byteAt(b, i) << 8 | byteAt(b, i + 1);
}
std::uint32_t be24(std::string_view b, std::size_t i) {
  return byteAt(b, i) << 16 | byteAt(b, i + 1) << 8 | byteAt(b, i + 2);
}
std::uint32_t be32(std::string_view b, std::size_t i) {
  return be16(b, i) << 16 | be16(b, i + 2);
}
std::uint32_t le32(std::string_view b, std::size_t i) {
  return byteAt(b, i) | byteAt(b, i + 1) << 8 | byteAt(b, i + 2) << 16 | byteAt(b, i + 3) << 24;
}

bool startsWith(std::string_view b, std::size_t at, std::string_view tag) {
  return b.size() >= at + tag.size() && b.substr(at, tag.size()) == tag;
}

std::uint32_t clampMs(double ms) {
  if (!(ms > 0)) return 0;
  if (ms >= static_cast<double>(std::numeric_limits<std::uint32_t>::max())) {
    return std::numeric_limits<std::uint32_t>::max();
  }
  return static_cast<std::uint32_t>(ms + 0.5);
}

// Calls `visit(id, body)` for each chunk of a RIFF file after its form type; a chunk that runs
// past the end is cut to what is there.
template <typename Visit>
void forEachRiffChunk(std::string_view b, Visit visit) {
  std::size_t pos = 12;
  while (pos + 8 <= b.size()) {
    std::string_view id = b.substr(pos, 4);
    std::uint64_t length = le32(b, pos + 4);
    std::size_t start = pos + 8;
    std::string_view body = b.substr(
        start, static_cast<std::size_t>(std::min<std::uint64_t>(length, b.size() - start)));
    if (!visit(id, body)) return;
    std::uint64_t next = start + length + (length & 1);  // chunks are padded to even sizes
    if (next > b.size()) return;
    pos = static_cast<std::size_t>(next);
  }
}

// ---- MIDI

std::optional<std::string_view> standardMidi(std::string_view b) {
  if (startsWith(b, 0, "MThd")) return b;
  if (!startsWith(b, 0, "RIFF") || !startsWith(b, 8, "RMID")) return std::nullopt;
  std::optional<std::string_view> data;
  forEachRiffChunk(b, [&](std::string_view id, std::string_view body) {
    if (id != "data") return true;
    if (startsWith(body, 0, "MThd")) data = body;
    return false;
  });
  return data;
}

// At most four bytes, as the file format allows.
std::optional<std::uint32_t> readVarLength(std::string_view b, std::size_t& pos) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    if (pos >= b.size()) return std::nullopt;
    std::uint32_t byte = byteAt(b, pos++);
    value = value << 7 | (byte & 0x7F);
    if (!(byte & 0x80)) return value;
  }
  return std::nullopt;
}

struct TempoChange {
  std::uint64_t tick;
  std::uint32_t microsPerQuarter;
};

struct TrackTimes {
  std::uint64_t endTick = 0;  // the last complete event, normally the end-of-track event
  std::vector<TempoChange> tempos;
};

// Enough for any real file; a crafted one cannot make the tempo map grow without bound (its
// later changes are then left out of the length).
constexpr std::size_t kMaxTempoChanges = std::size_t{1} << 16;

// A damaged track counts up to its last complete event, as a sequencer that stops there would.
TrackTimes scanTrack(std::string_view t, std::size_t& tempoBudget) {
  TrackTimes times;
  std::size_t pos = 0;
  std::uint64_t tick = 0;
  std::uint32_t running = 0;
  while (pos < t.size()) {
    std::optional<std::uint32_t> delta = readVarLength(t, pos);
    if (!delta || pos >= t.size()) break;
    tick += *delta;
    std::uint32_t status = byteAt(t, pos);
    if (status < 0x80) {
      if (!running) break;
      status = running;  // running status: this byte is already the first data byte
    } else {
      ++pos;
    }
    if (status < 0xF0) {
      running = status;
      std::size_t dataBytes = (status & 0xE0) == 0xC0 ? 1 : 2;  // program change, pressure
      if (t.size() - pos < dataBytes) break;
      pos += dataBytes;
      times.endTick = tick;
      continue;
    }
    running = 0;
    if (status == 0xF0 || status == 0xF7) {
      std::optional<std::uint32_t> length = readVarLength(t, pos);
      if (!length || *length > t.size() - pos) break;
      pos += *length;
      times.endTick = tick;
      continue;
    }
    if (status != 0xFF || pos >= t.size()) break;  // other system messages have no place here
    std::uint32_t type = byteAt(t, pos++);
    std::optional<std::uint32_t> length = readVarLength(t, pos);
    if (!length || *length > t.size() - pos) break;
    if (type == 0x51 && *length >= 3 && tempoBudget > 0) {
      times.tempos.push_back({tick, be24(t, pos)});
      --tempoBudget;
    }
    pos += *length;
    times.endTick = tick;
    if (type == 0x2F) break;
  }
  return times;
}

std::optional<double> ticksToMs(std::uint64_t ticks, std::vector<TempoChange> tempos,
                                std::uint32_t division) {
  if (division & 0x8000) {
    int frames = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
    double perSecond = (frames == 29 ? 29.97 : frames) * static_cast<double>(division & 0xFF);
    if (!(perSecond > 0)) return std::nullopt;
    return static_cast<double>(ticks) * 1000.0 / perSecond;
  }
  if (division == 0) return std::nullopt;
  std::stable_sort(tempos.begin(), tempos.end(),
                   [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  double micros = 0;
  std::uint64_t at = 0;
  std::uint32_t tempo = 500000;  // 120 beats a minute until the file says otherwise
  for (const TempoChange& change : tempos) {
    if (change.tick >= ticks) break;
    micros += static_cast<double>(change.tick - at) * tempo / division;
    at = change.tick;
    tempo = change.microsPerQuarter;
  }
  micros += static_cast<double>(ticks - at) * tempo / division;
  return micros / 1000.0;
}

// ---- MPEG audio

struct MpegFrame {
  std::uint32_t version;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  std::uint32_t layer;    // 1, 2 or 3
  std::uint32_t sampleRate;
  std::uint32_t samples;
  std::size_t length;
};

std::optional<MpegFrame> mpegFrameAt(std::string_view b, std::size_t pos) {
  static constexpr std::array<std::array<std::uint16_t, 16>, 5> kKbps = {{
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // 1, layer 1
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // 1, layer 2
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},      // 1, layer 3
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},     // 2, layer 1
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},          // 2, layers 2-3
  }};
  static constexpr std::array<std::uint32_t, 3> kRates = {44100, 48000, 32000};
  if (pos + 4 > b.size()) return std::nullopt;
  std::uint32_t b1 = byteAt(b, pos + 1), b2 = byteAt(b, pos + 2);
  if (byteAt(b, pos) != 0xFF || (b1 & 0xE0) != 0xE0) return std::nullopt;
  MpegFrame f{};
  f.version = (b1 >> 3) & 3;
  std::uint32_t layerBits = (b1 >> 1) & 3;
  std::uint32_t rateIndex = (b2 >> 2) & 3;
  std::uint32_t bitrateIndex = b2 >> 4;
  // Reserved values, and free-format streams, whose frames cannot be measured from the header.
  if (f.version == 1 || layerBits == 0 || rateIndex == 3 || bitrateIndex == 0 ||
      bitrateIndex == 15) {
    return std::nullopt;
  }
  f.layer = 4 - layerBits;
  bool mpeg1 = f.version == 3;
  std::size_t table = mpeg1 ? f.layer - 1 : (f.layer == 1 ? 3 : 4);
  std::uint32_t bitrate = kKbps[table][bitrateIndex] * 1000u;
  f.sampleRate = kRates[rateIndex] >> (mpeg1 ? 0 : f.version == 2 ? 1 : 2);
  std::uint32_t padding = (b2 >> 1) & 1;
  if (f.layer == 1) {
    f.samples = 384;
    f.length = (12 * bitrate / f.sampleRate + padding) * 4;
  } else if (f.layer == 3 && !mpeg1) {
    f.samples = 576;
    f.length = 72 * bitrate / f.sampleRate + padding;
  } else {
    f.samples = 1152;
    f.length = 144 * bitrate / f.sampleRate + padding;
  }
  return f;
}

bool sameStream(const MpegFrame& a, const MpegFrame& b) {
  return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

std::size_t afterId3Tag(std::string_view b) {
  if (!startsWith(b, 0, "ID3") || b.size() < 10) return 0;
  std::uint64_t size = (byteAt(b, 6) & 0x7F) << 21 | (byteAt(b, 7) & 0x7F) << 14 |
                       (byteAt(b, 8) & 0x7F) << 7 | (byteAt(b, 9) & 0x7F);
  std::uint64_t end = 10 + size + ((byteAt(b, 5) & 0x10) ? 10 : 0);  // the footer flag
  return static_cast<std::size_t>(std::min<std::uint64_t>(end, b.size()));
}

// ---- FLAC

std::optional<std::uint32_t> flacLengthMs(std::string_view b) {
  // The first metadata block is always the stream information: rate and total samples.
  if (!startsWith(b, 0, "fLaC") || b.size() < 8 + 18 || (byteAt(b, 4) & 0x7F) != 0) {
    return std::nullopt;
  }
  std::uint32_t rate = byteAt(b, 18) << 12 | byteAt(b, 19) << 4 | byteAt(b, 20) >> 4;
  std::uint64_t total = static_cast<std::uint64_t>(byteAt(b, 21) & 0x0F) << 32 | be32(b, 22);
  if (rate == 0) return std::nullopt;
  return clampMs(static_cast<double>(total) * 1000.0 / rate);
}

}  // namespace

std::optional<std::uint32_t> midiLengthMs(std::string_view bytes) {
  std::optional<std::string_view> smf = standardMidi(bytes);
  if (!smf || smf->size() < 14) return std::nullopt;
  std::string_view b = *smf;
  std::uint64_t headerLength = be32(b, 4);
  if (headerLength < 6) return std::nullopt;
  std::uint32_t format = be16(b, 8);
  std::uint32_t trackCount = be16(b, 10);
  std::uint32_t division = be16(b, 12);

  // Only the tracks the header announces are played; chunks of other kinds are skipped.
  std::vector<TrackTimes> tracks;
  std::size_t tempoBudget = kMaxTempoChanges;
  std::uint64_t pos = 8 + headerLength;
  while (pos + 8 <= b.size() && tracks.size() < trackCount) {
    std::size_t start = static_cast<std::size_t>(pos) + 8;
    std::uint64_t length = be32(b, start - 4);
    if (b.substr(start - 8, 4) == "MTrk") {
      tracks.push_back(scanTrack(b.substr(start, static_cast<std::size_t>(std::min<std::uint64_t>(
                                                     length, b.size() - start))),
                                 tempoBudget));
    }
    pos = start + length;
  }

  std::optional<double> ms;
  if (format == 2) {
    // Independent sequences, one after the other, each with its own tempo.
    ms = 0.0;
    for (const TrackTimes& t : tracks) {
      std::optional<double> one = ticksToMs(t.endTick, t.tempos, division);
      if (!one) return std::nullopt;
      *ms += *one;
    }
  } else {
    std::uint64_t end = 0;
    std::vector<TempoChange> tempos;
    for (const TrackTimes& t : tracks) {
      end = std::max(end, t.endTick);
      tempos.insert(tempos.end(), t.tempos.begin(), t.tempos.end());
    }
    ms = ticksToMs(end, std::move(tempos), division);
  }
  if (!ms) return std::nullopt;
  return clampMs(*ms);
}

std::optional<std::uint32_t> waveLengthMs(std::string_view bytes) {
  if (!startsWith(bytes, 0, "RIFF") || !startsWith(bytes, 8, "WAVE")) return std::nullopt;
  std::uint32_t bytesPerSecond = 0;
  std::optional<std::uint64_t> dataBytes;
  forEachRiffChunk(bytes, [&](std::string_view id, std::string_view body) {
    if (id == "fmt " && body.size() >= 16) bytesPerSecond = le32(body, 8);
    if (id == "data") dataBytes = body.size();
    return !(bytesPerSecond && dataBytes);
  });
  if (!bytesPerSecond || !dataBytes) return std::nullopt;
  return clampMs(static_cast<double>(*dataBytes) * 1000.0 / bytesPerSecond);
}

std::optional<std::uint32_t> mpegAudioLengthMs(std::string_view bytes) {
  // A frame counts as the stream's first only when the next frame follows right after it, so
  // that a stray 0xFF byte in other data is not taken for one.
  constexpr std::size_t kSearch = 64 * 1024;
  std::size_t begin = afterId3Tag(bytes);
  std::optional<MpegFrame> first;
  std::size_t pos = begin;
  for (; pos < bytes.size() && pos - begin < kSearch; ++pos) {
    first = mpegFrameAt(bytes, pos);
    if (!first) continue;
    std::size_t next = pos + first->length;
    if (next == bytes.size()) break;
    std::optional<MpegFrame> second = mpegFrameAt(bytes, next);
    if (second && sameStream(*first, *second)) break;
    first.reset();
  }
  if (!first) return std::nullopt;

  double seconds = 0;
  while (pos + 4 <= bytes.size()) {
    std::optional<MpegFrame> f = mpegFrameAt(bytes, pos);
    if (!f || !sameStream(*f, *first)) {
      if (startsWith(bytes, pos, "TAG")) break;  // the ID3v1 tag at the end
      ++pos;
      continue;
    }
    seconds += static_cast<double>(f->samples) / f->sampleRate;
    pos += f->length;
  }
  return clampMs(seconds * 1000.0);
}

Media probeMedia(std::string_view bytes) {
  std::optional<std::uint32_t> length;
  if ((length = waveLengthMs(bytes))) return {Format::Wave, *length};
  if ((length = midiLengthMs(bytes))) return {Format::Midi, *length};
  if (startsWith(bytes, 0, "OggS")) return {Format::Ogg, 0};
  if (startsWith(bytes, 0, "fLaC")) return {Format::Flac, flacLengthMs(bytes).value_or(0)};
  if ((length = mpegAudioLengthMs(bytes))) return {Format::MpegAudio, *length};
  return {};
}

}  // namespace inst::sound
