#include "trace/log_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace inst::trace {

LogFile::~LogFile() {
  if (file_) std::fclose(file_);
}

void LogFile::event(const std::string& line) {
  if (!file_) return;
  const std::string text = IsoTime(std::chrono::system_clock::now()) + " " + line + "\n";
  errno = 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), file_) == text.size();
  if ((std::fflush(file_) != 0 || !written) && failure_.empty()) {
    failure_ = errno != 0 ? std::strerror(errno) : "erro de escrita";
    std::clearerr(file_);
  }
}

std::string IsoTime(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto ms = floor<milliseconds>(when);
  const auto day = floor<days>(ms);
  const year_month_day date{day};
  const hh_mm_ss<milliseconds> time{ms - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()),
                static_cast<int>(time.subseconds().count()));
  return text;
}

}  // namespace inst::trace
