// The profile code against the measured vectors. Natively every vector runs through the
// portable code; on Windows (and under Wine) the vectors whose Windows behaviour is known to
// equal the measurement also run through the real functions, and both must agree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/ini/profile_text.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/win32_profile.h"
#endif

namespace inst {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string vectorsPath() {
  std::string path = INSTALADOR_SOURCE_DIR "/tests/platform/ini/profile-vectors.json";
#ifdef _WIN32
  // The source tree is a POSIX path; Wine shows the POSIX root as drive Z:.
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  path = "Z:" + path;
#endif
  return path;
}

const json& vectors() {
  static const json data = [] {
    std::ifstream in(vectorsPath(), std::ios::binary);
    return json::parse(in);
  }();
  return data;
}

std::optional<std::string> hex(const json& field) {
  if (field.is_null()) return std::nullopt;
  const std::string text = field.get<std::string>();
  std::string bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

std::string toHex(std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (char c : bytes) {
    out += digits[static_cast<unsigned char>(c) >> 4];
    out += digits[static_cast<unsigned char>(c) & 15];
  }
  return out;
}

ini::Arg arg(const std::optional<std::string>& s) {
  if (!s) return std::nullopt;
  return std::string_view(*s);
}

// The file a vector starts from; nullopt when it does not exist.
std::optional<std::string> initialFile(const json& v) {
  return v["file_exists"] ? hex(v["file_hex"]) : std::nullopt;
}

// Unknown cases where we deliberately do not follow Wine, with the result we give instead.
struct Departure {
  std::string bytes;  // value of a read, file of a write
  int count = -1;     // return of a read
  const char* why;
};

const std::map<std::string, Departure>& departures() {
  static const std::map<std::string, Departure> table = {
      {"R047", {"abcdef", 6, "Wine loses the last character when the buffer fits exactly"}},
      {"R069", {"v", 1, "a line without '=' is no key and hides no later key"}},
      {"R126", {"?\xF3\x64? \x80", 6, "characters outside the code page become '?' (no best fit)"}},
      {"W014", {"[S]\na=9\n[T]\nb=2\n", -1, "untouched lines keep their LF; the edited one too"}},
      {"W015", {"[S]\na=1\nc=3\n", -1, "an added line ends like the line it follows"}},
      {"W016", {"[S]\ra=2\r", -1, "the edited line keeps its CR"}},
      {"W036", {"[S]\r\na=1\r\nb=2\r\n\x1A", -1, "the bytes after the last key stay"}},
      {"W042",
       {"[S]\r\na=1\r\n[T]\r\nc=3\r\n[S]\r\nb=2\r\n", -1,
        "a removal finds what a read finds: the first section of the name only"}},
  };
  return table;
}

struct ReadExpectation {
  std::uint32_t count;
  std::string value;
  std::optional<std::string> buffer;  // the buffer after the call, where measured
};

ReadExpectation expectedRead(const json& v) {
  const std::string id = v["id"];
  const json& w = v["windows"];
  if (auto d = departures().find(id); d != departures().end()) {
    return {static_cast<std::uint32_t>(d->second.count), d->second.bytes, std::nullopt};
  }
  if (w.contains("windows_expected_return")) {
    return {w["windows_expected_return"].get<std::uint32_t>(),
            *hex(w["windows_expected_value_hex"]), std::nullopt};
  }
  const json& e = v["expected"];
  return {e["return_value"].get<std::uint32_t>(), *hex(e["value_hex"]),
          hex(e["buffer_hex_after_call"])};
}

std::optional<std::string> expectedFile(const json& v) {
  const std::string id = v["id"];
  const json& w = v["windows"];
  if (auto d = departures().find(id); d != departures().end()) return d->second.bytes;
  if (w.contains("windows_expected_file_hex")) return hex(w["windows_expected_file_hex"]);
  return hex(v["expected"]["file_hex_after"]);
}

constexpr unsigned char kUntouched = 0xCC;
constexpr std::size_t kGuard = 16;

struct ReadResult {
  std::uint32_t count;
  std::string buffer;  // nSize bytes as the call left them
};

ReadResult readPortable(const json& v) {
  const json& c = v["call"];
  const std::uint32_t size = c["nSize"];
  std::string buffer(size + kGuard, static_cast<char>(kUntouched));
  const std::optional<std::string> file = initialFile(v);
  const auto section = hex(c["section_hex"]), key = hex(c["key_hex"]), def = hex(c["default_hex"]);
  const std::uint32_t count =
      ini::getString(arg(file), arg(section), arg(key), arg(def), buffer.data(), size);
  EXPECT_EQ(buffer.substr(size), std::string(kGuard, static_cast<char>(kUntouched)))
      << v["id"] << ": wrote past the buffer";
  buffer.resize(size);
  return {count, buffer};
}

void checkRead(const json& v, const ReadResult& got, const ReadExpectation& want, const char* who) {
  const std::string id = v["id"];
  const std::uint32_t size = v["call"]["nSize"];
  ASSERT_EQ(got.count, want.count) << id << " (" << who << ")";
  EXPECT_EQ(toHex(got.buffer.substr(0, got.count)), toHex(want.value)) << id << " (" << who << ")";
  if (want.buffer) {
    const std::size_t n = std::min(want.buffer->size(), got.buffer.size());
    EXPECT_EQ(toHex(got.buffer.substr(0, n)), toHex(*want.buffer)) << id << " (" << who << ")";
  } else if (size > 0) {
    EXPECT_EQ(got.buffer[got.count], '\0') << id << " (" << who << "): no terminating NUL";
  }
}

// Each write vector starts from its own file state; nullopt is a missing file.
std::optional<std::string> writePortable(const json& v) {
  std::optional<std::string> file = initialFile(v);
  for (const json& c : v["calls"]) {
    const auto section = hex(c["section_hex"]), key = hex(c["key_hex"]),
               value = hex(c["value_hex"]);
    ini::Edit edit = ini::writeString(arg(file), arg(section), arg(key), arg(value));
    EXPECT_NE(edit.outcome, ini::Outcome::invalid) << v["id"];
    if (edit.outcome == ini::Outcome::changed) file = std::move(edit.content);
  }
  return file;
}

std::string shown(const std::optional<std::string>& file) {
  return file ? toHex(*file) : std::string("(no file)");
}

TEST(ProfileVectors, EveryReadVectorGivesTheWindowsResult) {
  const json& reads = vectors()["read_vectors"];
  ASSERT_EQ(reads.size(), 142u);
  for (const json& v : reads) {
    checkRead(v, readPortable(v), expectedRead(v), "portable");
  }
}

TEST(ProfileVectors, EveryWriteVectorGivesTheWindowsFile) {
  const json& writes = vectors()["write_vectors"];
  ASSERT_EQ(writes.size(), 48u);
  for (const json& v : writes) {
    EXPECT_EQ(shown(writePortable(v)), shown(expectedFile(v))) << v["id"];
  }
}

TEST(ProfileVectors, DeparturesAreOnlyWhereWindowsIsUnknown) {
  // A departure from Wine is a judgement only where no Windows evidence exists; for a vector
  // whose Windows result is known it would be a fault.
  std::map<std::string, std::string> status;
  for (const char* kind : {"read_vectors", "write_vectors"}) {
    for (const json& v : vectors()[kind]) status[v["id"]] = v["windows"]["status"];
  }
  for (const auto& [id, departure] : departures()) {
    EXPECT_EQ(status[id], "unknown") << id << ": " << departure.why;
  }
}

#ifdef _WIN32

// The real functions, on files in a fresh temporary folder; every vector gets its own file
// name, so no cached copy of an earlier file can answer.
class RealApi : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ =
        fs::temp_directory_path() /
        ("instalador-ini-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(seed()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  fs::path fileFor(const json& v, const std::optional<std::string>& bytes) {
    fs::path path = folder_ / (v["id"].get<std::string>() + ".ini");
    if (bytes) {
      std::ofstream out(path, std::ios::binary);
      out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
    }
    return path;
  }

  static std::optional<std::string> contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  static const char* cstr(const std::optional<std::string>& s) { return s ? s->c_str() : nullptr; }

  // The same file under a name outside the ANSI code page, for the program's own profile
  // service, which must reach it and leave the bytes the ANSI functions leave.
  std::string wideCopy(const json& v, const std::optional<std::string>& bytes) {
    const std::string id = v["id"];
    const fs::path path = folder_ / (std::u8string(id.begin(), id.end()) + u8"-Иван.ini");
    if (bytes) std::ofstream(path, std::ios::binary) << *bytes;
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
  }

  fs::path folder_;
};

TEST_F(RealApi, AgreesWithThePortableReaderWhereWindowsIsKnown) {
  int compared = 0;
  for (const json& v : vectors()["read_vectors"]) {
    if (v["windows"]["status"] != "same") continue;
    const json& c = v["call"];
    const std::uint32_t size = c["nSize"];
    const fs::path path = fileFor(v, initialFile(v));
    const auto section = hex(c["section_hex"]), key = hex(c["key_hex"]),
               def = hex(c["default_hex"]);
    std::string buffer(size + kGuard, static_cast<char>(kUntouched));
    const DWORD count = GetPrivateProfileStringA(cstr(section), cstr(key), cstr(def), buffer.data(),
                                                 size, path.string().c_str());
    buffer.resize(size);
    const ReadResult real{static_cast<std::uint32_t>(count), buffer};
    checkRead(v, real, expectedRead(v), "real");
    const ReadResult portable = readPortable(v);
    EXPECT_EQ(toHex(real.buffer), toHex(portable.buffer)) << v["id"];
    if (section && key && def) {
      std::string ours(size + kGuard, static_cast<char>(kUntouched));
      const std::uint32_t n = Win32Profile().getString(*section, *key, *def, ours.data(), size,
                                                       wideCopy(v, initialFile(v)));
      ours.resize(size);
      checkRead(v, {n, ours}, expectedRead(v), "Win32Profile");
    }
    ++compared;
  }
  EXPECT_GT(compared, 80);
}

TEST_F(RealApi, AgreesWithThePortableWriterWhereWindowsIsKnown) {
  int compared = 0;
  for (const json& v : vectors()["write_vectors"]) {
    if (v["windows"]["status"] != "same") continue;
    const fs::path path = fileFor(v, initialFile(v));
    const std::string ansiPath = path.string();
    for (const json& c : v["calls"]) {
      const auto section = hex(c["section_hex"]), key = hex(c["key_hex"]),
                 value = hex(c["value_hex"]);
      EXPECT_TRUE(
          WritePrivateProfileStringA(cstr(section), cstr(key), cstr(value), ansiPath.c_str()))
          << v["id"];
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ansiPath.c_str());
    const std::optional<std::string> real = contents(path);
    EXPECT_EQ(shown(real), shown(expectedFile(v))) << v["id"];
    EXPECT_EQ(shown(real), shown(writePortable(v))) << v["id"];
    // The service takes a section and a key always, and creates no file to remove from.
    bool served = true;
    for (const json& c : v["calls"])
      served = served && !c["section_hex"].is_null() && !c["key_hex"].is_null() &&
               (initialFile(v) || !c["value_hex"].is_null());
    if (served) {
      const std::string ours = wideCopy(v, initialFile(v));
      for (const json& c : v["calls"]) {
        const auto section = hex(c["section_hex"]), key = hex(c["key_hex"]),
                   value = hex(c["value_hex"]);
        const Status done = value ? Win32Profile().writeString(*section, *key, *value, ours)
                                  : Win32Profile().removeString(*section, *key, ours);
        EXPECT_TRUE(done) << v["id"] << ": " << done.reason();
      }
      const std::u8string name(ours.begin(), ours.end());
      EXPECT_EQ(shown(contents(fs::path(name))), shown(expectedFile(v)))
          << v["id"] << " (Win32Profile)";
    }
    ++compared;
  }
  EXPECT_GT(compared, 15);
}

#endif

}  // namespace
}  // namespace inst
