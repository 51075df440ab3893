// The reader of the package a bundle carries, on bytes from anywhere: a download cut short, a
// disk error, a hand-made file. Whatever the bytes, it answers, and what it accepts names no
// file outside the package. An odd first byte edits a valid bundle (byte writes, then a cut),
// so that the trailer, end record and headers are reached without a corpus of binary files.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "package/bundle_payload.h"

namespace {

std::string ValidBundle() {
  inst::bundle::MemorySink out("program bytes");
  inst::bundle::PayloadWriter writer(out);
  inst::bundle::MemorySource setup("[Sound]\nAbertura=abertura.wav\n"),
      script("Script Teste ()\nEndScript\n");
  writer.addFile("Setup.ini", setup);
  writer.addFolder("pastascripts");
  writer.addFile("pastascripts/teste.jss", script);
  if (!writer.finish()) std::abort();
  return out.bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string valid = ValidBundle();
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (size > 0 && (data[0] & 1)) {
    bytes = valid;
    std::size_t i = 1;
    for (; i + 3 <= size && data[i] != 0xFF; i += 3)
      bytes[(data[i + 1] << 8 | data[i + 2]) % bytes.size()] = static_cast<char>(data[i]);
    if (i + 2 < size) bytes.resize((data[i + 1] << 8 | data[i + 2]) % (bytes.size() + 1));
  }
  inst::bundle::MemorySource source(bytes);
  inst::bundle::Payload payload;
  if (!inst::bundle::LocatePayload(source, payload) || !payload.present) return 0;
  if (payload.begin > payload.directory || payload.end > bytes.size()) std::abort();
  (void)inst::bundle::WalkEntries(source, payload, [&](const inst::bundle::Entry& entry) {
    if (!inst::bundle::NameProblem(entry.name, entry.folder).empty() ||
        entry.data + entry.size > payload.directory)
      std::abort();
    return inst::bundle::CopyEntry(source, entry, nullptr);
  });
  return 0;
}
