#pragma once

// The package a bundle carries, as bytes: where it sits in the executable, the ZIP archive that
// holds it, and unpacking it. Only files of our own making are read here (the running
// executable, the package, the new private folder); bundle.h is what the command line calls.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "text/status.h"

namespace inst::bundle {

// Random access to an executable's bytes, so that the reader can be fed from memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const = 0;
  // Exactly `count` bytes from `offset`, or false.
  virtual bool read(std::uint64_t offset, void* into, std::size_t count) = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  bool read(std::uint64_t offset, void* into, std::size_t count) override;

 private:
  std::string_view bytes_;
};

std::uint32_t crc32(std::uint32_t crc, const void* data, std::size_t count);

// Stored (uncompressed) entries only: script packages are small beside the executable, and
// their sounds hardly compress; stored entries also keep every size known before a byte is
// written, so nothing unpacked can grow beyond what the payload holds.
inline constexpr std::uint32_t kMaxEntries = 20000;
inline constexpr std::size_t kMaxNameBytes = 512;
// ZIP without its 64-bit extension: every offset and size below 4 GiB.
inline constexpr std::uint64_t kMaxOffset = 0xFFFFFFFEu;

// What the executable's own format says about where its bytes end.
struct ExecutableLayout {
  std::uint64_t imageEnd = 0;  // end of the program's own bytes; 0 for a format not known here
  // A PE's certificate table (what signing appends), when it sits at the end of the file.
  std::uint64_t signatureOffset = 0;
  std::uint64_t signatureSize = 0;
  // File offsets of the PE header fields that signing sets; 0 when not a PE.
  std::uint64_t securityEntry = 0;
  std::uint64_t checksumField = 0;
};
ExecutableLayout ReadExecutableLayout(ByteSource& source);

struct Payload {
  bool present = false;
  std::uint64_t begin = 0;  // the archive's first byte: the executable's own bytes end here
  std::uint64_t end = 0;    // one past the trailer
  std::uint64_t directory = 0;
  std::uint64_t directorySize = 0;
  std::uint32_t entries = 0;
};
// Finds the package an executable carries: after the program, or before a certificate table
// appended by signing. Success with `present` false: it carries none. A failure: it carries a
// damaged or incomplete one.
Status LocatePayload(ByteSource& source, Payload& payload);

struct Entry {
  std::string name;  // '/' between components; no trailing '/'
  bool folder = false;
  std::uint64_t data = 0;  // file offset of the bytes
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
};
// Checks the whole central directory and every local header (names, sizes, order, limits)
// and calls `each` for every entry in order; stops at the first failure, each's or its own.
Status WalkEntries(ByteSource& source, const Payload& payload,
                   const std::function<Status(const Entry&)>& each);
// Streams an entry's bytes through its CRC into `out` (none: only checked).
Status CopyEntry(ByteSource& source, const Entry& entry, std::ostream* out);

// Whether a name may be unpacked anywhere: '/'-separated relative components that every
// system takes as plain names, under one of the package's own top-level names. Empty when
// allowed, otherwise the reason.
std::string NameProblem(std::string_view name, bool folder);

// Unpacks into `folder`, which must exist and be empty. On failure the folder is left empty.
// Failures about the payload itself carry no path (the caller names the executable); those
// about writing carry the file's.
Status Unpack(ByteSource& source, const std::filesystem::path& folder);

// Writes the archive part of a bundle into a seekable stream positioned where the executable's
// own bytes end. Names are not judged here (the caller's package walk does that), so that tests
// can write what a hostile payload would hold.
class PayloadWriter {
 public:
  explicit PayloadWriter(std::ostream& out);
  bool addFolder(std::string_view name);
  // Streams `in` to its end; the header's size and CRC are written afterwards.
  bool addFile(std::string_view name, std::istream& in);
  // The central directory, the end record and the trailer.
  bool finish();
  const std::string& error() const { return error_; }

 private:
  bool entry(std::string_view name, bool folder, std::istream* in);
  bool fail(std::string why);

  std::ostream& out_;
  std::uint64_t begin_;
  std::string central_;
  std::uint32_t count_ = 0;
  std::string error_;
};

}  // namespace inst::bundle
