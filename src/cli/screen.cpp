// Standard output through the progress line and the quiet mode.
#include "cli/screen.h"

#include <cmath>

#include "report/report.h"

namespace tarvo::cli {

namespace {

// Carriage return, then erase to the end of the line.
constexpr const char* WIPE = "\r\x1b[K";
// A line wider than the terminal would wrap, and the carriage return would
// then rewrite only its last part.
constexpr std::size_t STATUS_WIDTH = 79;
constexpr std::chrono::milliseconds REDRAW{100};

}  // namespace

ScreenMode screen_mode(bool terminal, bool quiet) {
  if (quiet) return ScreenMode::Quiet;
  return terminal ? ScreenMode::Terminal : ScreenMode::Lines;
}

void Screen::status(const std::string& line) {
  if (mode_ != ScreenMode::Terminal) return;
  std::string text = WIPE + line.substr(0, STATUS_WIDTH);
  real_.rdbuf()->sputn(text.data(), static_cast<std::streamsize>(text.size()));
  real_.rdbuf()->pubsync();
  status_shown_ = true;
}

void Screen::clear_status() {
  if (!status_shown_) return;
  status_shown_ = false;
  const std::string wipe = WIPE;
  real_.rdbuf()->sputn(wipe.data(), static_cast<std::streamsize>(wipe.size()));
}

int Screen::overflow(int c) {
  if (c == traits_type::eof()) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

std::streamsize Screen::xsputn(const char* s, std::streamsize n) {
  if (muted_ || n == 0) return n;
  clear_status();
  return real_.rdbuf()->sputn(s, n);
}

int Screen::sync() {
  return real_.rdbuf()->pubsync();
}

void Pace::start(int total) {
  started_ = Clock::now();
  drawn_ = {};
  total_ = total;
}

bool Pace::due(int done) {
  const Clock::time_point now = Clock::now();
  // The last step always shows, so that a quick stage ends on its count.
  if (done + 1 < total_ && now - drawn_ < REDRAW) return false;
  drawn_ = now;
  return true;
}

std::string Pace::left(int done) const {
  if (done <= 0) return "";
  const double spent = std::chrono::duration<double>(Clock::now() - started_).count();
  return clock_text(spent / done * (total_ - done)) + " left";
}

std::string Pace::clock_text(double seconds) {
  const long s = std::lround(std::max(seconds, 0.0));
  if (s >= 3600) return report::format("%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  return report::format("%ld:%02ld", s / 60, s % 60);
}

}  // namespace tarvo::cli
