#include "platform/sound/media_probe.h"

#include <gtest/gtest.h>

#include "platform/sound/test_sound_files.h"

namespace inst::sound {
namespace {

using testfiles::be;
using testfiles::kEndOfTrack;
using testfiles::le;
using testfiles::midiFile;
using testfiles::midiTrack;
using testfiles::tempo;

const std::string kNoteOn = "\x90\x3C\x64";
const std::string kNoteOff = "\x80\x3C\x40";

using Measure = std::optional<std::uint32_t> (*)(std::string_view);

struct LengthCase {
  const char* name;
  Measure measure;
  std::string bytes;
  std::optional<std::uint32_t> ms;
};

std::vector<LengthCase> lengthCases() {
  const Measure midi = midiLengthMs, wave = waveLengthMs, mpeg = mpegAudioLengthMs;
  std::string rmidBody = testfiles::midiNote(1000);
  std::string rmid = "RIFF" + le(static_cast<std::uint32_t>(4 + 8 + rmidBody.size()), 4) + "RMID" +
                     "data" + le(static_cast<std::uint32_t>(rmidBody.size()), 4) + rmidBody;
  std::string oversized = midiTrack({{0, kNoteOn}, {960, kNoteOff}, {0, kEndOfTrack}});
  oversized.replace(4, 4, be(0xFFFFFFF0u, 4));
  // Two tracks announced: the unknown chunk between them is none, and a third does not count.
  std::string announced =
      midiFile(1, 480,
               {midiTrack({{960, kEndOfTrack}}), std::string("XTRA") + be(2, 4) + "??",
                midiTrack({{9600, kEndOfTrack}}), midiTrack({{96000, kEndOfTrack}})});
  announced.replace(10, 2, be(2, 2));
  std::string id3 = "ID3\x03" + std::string(2, '\0') + be(0, 3) + "\x7F" + std::string(127, 'x');
  return {
      {"default tempo is 120 a minute", midi,
       midiFile(0, 480, {midiTrack({{0, kNoteOn}, {960, kNoteOff}, {0, kEndOfTrack}})}), 1000},
      {"end of track after the last note counts", midi,
       midiFile(0, 480, {midiTrack({{0, kNoteOn}, {480, kNoteOff}, {480, kEndOfTrack}})}), 1000},
      {"tempo change half way", midi,
       midiFile(0, 480,
                {midiTrack({{0, kNoteOn},
                            {480, tempo(1000000)},  // 500 ms, then one beat a second
                            {480, kNoteOff},
                            {0, kEndOfTrack}})}),
       1500},
      {"format 1: tempo map in track 0 applies to the longest track", midi,
       midiFile(1, 96,
                {midiTrack({{0, tempo(250000)}, {0, kEndOfTrack}}),
                 midiTrack({{0, kNoteOn}, {384, kNoteOff}, {0, kEndOfTrack}})}),
       1000},
      {"format 2: sequences one after the other", midi,
       midiFile(
           2, 480,
           {midiTrack({{0, kNoteOn}, {480, kNoteOff}, {0, kEndOfTrack}}),
            midiTrack({{0, tempo(1000000)}, {0, kNoteOn}, {480, kNoteOff}, {0, kEndOfTrack}})}),
       1500},
      {"running status and one-byte program changes", midi,
       midiFile(0, 480,
                {midiTrack({{0, std::string("\xC0\x05", 2)},
                            {0, kNoteOn},
                            {240, "\x3E\x64"},  // running status: another note on
                            {240, std::string("\x3C\x00", 2)},
                            {480, std::string("\x3E\x00", 2)},
                            {0, kEndOfTrack}})}),
       1000},
      {"system exclusive and text events are skipped", midi,
       midiFile(0, 480,
                {midiTrack({{0, std::string("\xF0\x03\x7E\x7F\xF7", 5)},
                            {0, std::string("\xFF\x01\x04text", 7)},
                            {960, kNoteOff},
                            {0, kEndOfTrack}})}),
       1000},
      {"SMPTE division: 25 frames of 40 ticks", midi,
       midiFile(0, 0xE728, {midiTrack({{0, kNoteOn}, {2000, kNoteOff}, {0, kEndOfTrack}})}), 2000},
      {"a damaged track counts to its last whole event", midi,
       midiFile(0, 480,
                {midiTrack({{0, kNoteOn}, {960, kNoteOff}, {480, std::string("\x90\x3C", 2)}})}),
       1000},
      {"events after the end of the track do not count", midi,
       midiFile(0, 480, {midiTrack({{960, kEndOfTrack}, {9600, kNoteOff}})}), 1000},
      {"inside a RIFF RMID file", midi, rmid, 1000},
      {"no tracks at all", midi, midiFile(0, 480, {}), 0},
      {"division 0", midi, midiFile(0, 0, {midiTrack({{0, kEndOfTrack}})}), std::nullopt},
      {"short header", midi, "MThd" + be(4, 4) + be(0, 2) + be(1, 2), std::nullopt},
      {"not MIDI", midi, std::string("RIFF\x10\0\0\0WAVE", 12), std::nullopt},
      {"a track length larger than the file is cut", midi, midiFile(0, 480, {oversized}), 1000},
      {"only the announced tracks count", midi, announced, 10000},
      {"wave from the data size and byte rate", wave, testfiles::waveFile(1000), 1000},
      {"wave at 8 kHz", wave, testfiles::waveFile(250, 0.5, 440, 8000), 250},
      {"wave without a format chunk", wave, "RIFF" + le(12, 4) + "WAVEdata" + le(0, 4),
       std::nullopt},
      {"wave cut after RIFF", wave, "RIFF", std::nullopt},
      {"ten MPEG frames", mpeg, testfiles::mpegFrames(10), 261},  // 10 x 1152 samples at 44.1 kHz
      {"MPEG after an ID3 tag", mpeg, id3 + testfiles::mpegFrames(10), 261},
      {"MPEG between junk and an ID3v1 tag", mpeg,
       "junk" + testfiles::mpegFrames(10) + "TAG" + std::string(125, ' '), 261},
      {"a lone frame header inside other data", mpeg,
       std::string("\xFF\xFB\x90\x00", 4) + std::string(1000, 'a'), std::nullopt},
      {"MPEG: sync bytes only", mpeg, std::string(4000, '\xFF'), std::nullopt},
  };
}

TEST(MediaLength, FollowsTheFileHeaders) {
  for (const LengthCase& c : lengthCases()) EXPECT_EQ(c.measure(c.bytes), c.ms) << c.name;
}

TEST(ProbeMedia, NamesTheFormat) {
  std::string flac = "fLaC" + std::string("\x00\x00\x00\x22", 4) + std::string(10, '\0') +
                     std::string("\x0A\xC4\x40\xF0", 4) + be(44100 * 3, 4) + std::string(16, '\0');
  struct Case {
    std::string bytes;
    Format format;
    std::uint32_t ms;
  } cases[] = {
      {testfiles::waveFile(500), Format::Wave, 500},
      {testfiles::midiNote(750), Format::Midi, 750},
      {testfiles::mpegFrames(20), Format::MpegAudio, 522},
      {"OggS" + std::string(60, '\0'), Format::Ogg, 0},
      {flac, Format::Flac, 3000},
      {"", Format::Unknown, 0},
      {"plain text, not a sound", Format::Unknown, 0},
  };
  for (const Case& c : cases) {
    Media m = probeMedia(c.bytes);
    EXPECT_EQ(m.format, c.format) << c.bytes.substr(0, 4);
    EXPECT_EQ(m.lengthMs, c.ms) << c.bytes.substr(0, 4);
  }
}

// Every cut of a valid file is input a damaged download could give: it never measures longer
// than the whole file. Flipped bytes only have to be survived (the sanitizers watch).
TEST(ProbeMedia, AnyPrefixOrCorruptionIsSafe) {
  const std::string files[] = {testfiles::midiNote(500), testfiles::waveFile(20),
                               testfiles::mpegFrames(3)};
  for (const std::string& file : files) {
    std::uint32_t whole = probeMedia(file).lengthMs;
    ASSERT_GT(whole, 0u);
    for (std::size_t n = 0; n < file.size(); ++n) {
      EXPECT_LE(probeMedia(std::string_view(file).substr(0, n)).lengthMs, whole) << n;
    }
    std::string flipped = file;
    for (std::size_t i = 0; i < flipped.size(); i += 7) {
      flipped[i] = static_cast<char>(~flipped[i]);
      probeMedia(flipped);
    }
  }
}

}  // namespace
}  // namespace inst::sound
