// The media probe on arbitrary bytes: sound files come with third-party packages. Whatever the
// bytes, it answers, and a format it cannot tell has no length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/sound/media_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const inst::sound::Media media = inst::sound::probeMedia(bytes);
  if (media.format == inst::sound::Format::Unknown && media.lengthMs != 0) std::abort();
  (void)inst::sound::midiLengthMs(bytes);
  (void)inst::sound::waveLengthMs(bytes);
  (void)inst::sound::mpegAudioLengthMs(bytes);
  return 0;
}
