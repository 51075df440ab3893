#include "trace/log_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "text/numbers.h"

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
  const long long parts[] = {static_cast<int>(date.year()),
                             static_cast<unsigned>(date.month()),
                             static_cast<unsigned>(date.day()),
                             time.hours().count(),
                             time.minutes().count(),
                             time.seconds().count(),
                             time.subseconds().count()};
  std::string text;
  for (int i = 0; i < 7; ++i) {
    AppendPadded(text, static_cast<std::uint64_t>(parts[i]), i == 0 ? 4 : i == 6 ? 3 : 2);
    text += "--T::.Z"[i];
  }
  return text;
}

}  // namespace inst::trace
