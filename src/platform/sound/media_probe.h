#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/sound/sound_device.h"

namespace inst::sound {

// What a sound file holds and how long it plays, read from its bytes alone. Any input is safe:
// what cannot be recognised is Format::Unknown, what cannot be measured has length 0.
Media probeMedia(std::string_view bytes);

// The time from a Standard MIDI File's start to its last event (the end of its longest track),
// from its tempo changes and timing division; also inside a RIFF "RMID" wrapper. Synthesisers
// keep sounding for a while after the last note; this is the length the file itself gives.
// Empty when the bytes are not a MIDI file.
std::optional<std::uint32_t> midiLengthMs(std::string_view bytes);

// A RIFF "WAVE" file's length from its format and data chunks. Empty when not a WAVE file.
std::optional<std::uint32_t> waveLengthMs(std::string_view bytes);

// An MPEG audio stream's length from its frame headers, after an optional ID3v2 tag. Empty
// when no run of valid frames starts near the beginning.
std::optional<std::uint32_t> mpegAudioLengthMs(std::string_view bytes);

}  // namespace inst::sound
