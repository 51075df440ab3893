// The headless command reader on arbitrary input, driving the real application over a small
// package and JAWS tree on disk: whatever the lines, the program ends and says so last.
// Installing is kept from writing by a settings folder that does not exist.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "installer/installer.h"
#include "platform/posix/posix_environment.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_profile.h"
#include "ui/headless/headless_front_end.h"

namespace {

namespace fs = std::filesystem;

struct NoSound final : inst::MciPort {
  inst::MciReply send(const std::string&, std::size_t) override { return {}; }
};
struct NoSleep final : inst::Sleeper {
  void sleep(unsigned) override {}
};

std::string g_package;

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const fs::path root = fs::temp_directory_path() / ("instalador-fuzz-" + std::to_string(getpid()));
  Write(root / "pkg" / "Setup.ini",
        "[Configurations]\r\ntitle=T\r\nFrametitle=V\r\nStartversion=11\r\n"
        "[Sound]\r\nSoundFile=a.wav\r\nPlaySound=1\r\n"
        "[Info]\r\nShowInfo=1\r\nInfoFile=i.txt\r\nInfoTitle=I\r\n");
  Write(root / "pkg" / "Info" / "i.txt", "texto");
  Write(root / "pkg" / "pastascripts" / "a.jsb", "x");
  for (const char* v : {"15.0", "16.0", "17.0"})
    fs::create_directories(root / "pf" / "Freedom Scientific" / "Jaws" / v);
  setenv("programfiles", (root / "pf").c_str(), 1);
  setenv("appdata", (root / "nowhere").c_str(), 1);
  g_package = (root / "pkg").string();
  std::atexit([] { fs::remove_all(fs::path(g_package).parent_path()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The front end reads and writes C streams; these two live in memory.
  std::string input(reinterpret_cast<const char*>(data), size);
  std::FILE* in = size ? fmemopen(input.data(), size, "r") : std::fopen("/dev/null", "r");
  char* written = nullptr;
  std::size_t writtenSize = 0;
  std::FILE* out = open_memstream(&written, &writtenSize);
  if (in == nullptr || out == nullptr) std::abort();
  inst::PosixFileSystem files;
  inst::PosixProfile profile;
  inst::PosixEnvironment env;
  NoSleep sleeper;
  NoSound sound;
  inst::headless::HeadlessFrontEnd ui(in, out);
  inst::Session session(ui, {{files, profile, env, sleeper}, sound, g_package});
  ui.run(session.host);
  std::fclose(in);
  std::fclose(out);
  const std::string transcript(written, writtenSize);
  std::free(written);
  const std::size_t last = transcript.rfind("\nend status=");
  if (!session.host.ended() || last == std::string::npos ||
      transcript.find('\n', last + 1) != transcript.size() - 1)
    std::abort();
  return 0;
}
