#include "trace/log_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace inst::trace {
namespace {

TEST(IsoTime, UtcWithMilliseconds) {
  using namespace std::chrono;
  const struct {
    sys_time<milliseconds> when;
    const char* text;
  } cases[] = {
      {sys_days{1970y / 1 / 1} + 0ms, "1970-01-01T00:00:00.000Z"},
      {sys_days{2026y / 12 / 7} + 12h + 0min + 0s + 123ms, "2026-12-07T12:00:00.123Z"},
      {sys_days{2024y / 2 / 29} + 23h + 59min + 59s + 999ms, "2024-02-29T23:59:59.999Z"},
  };
  for (const auto& c : cases) EXPECT_EQ(IsoTime(c.when), c.text);
}

TEST(LogFile, AppendsOneTimedLinePerEvent) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("instalador-log-" + std::to_string(std::random_device{}()) + ".log");
  std::ofstream(path, std::ios::binary) << "earlier run\n";
  {
    LogFile log(std::fopen(path.string().c_str(), "ab"));
    log.event("end status=0");
    log.event("read section=Configurations key=title value=\"Pacote ção\"");
  }
  std::string text;
  {
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::remove(path);
  ASSERT_TRUE(text.starts_with("earlier run\n")) << text;
  const std::string rest = text.substr(12);
  const std::size_t first = rest.find('\n');
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(rest[4], '-');
  EXPECT_EQ(rest.substr(23, 2), "Z ");
  EXPECT_EQ(rest.substr(25, first - 25), "end status=0");
  EXPECT_TRUE(rest.ends_with(" read section=Configurations key=title value=\"Pacote ção\"\n"));
}

}  // namespace
}  // namespace inst::trace
