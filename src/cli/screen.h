// Standard output as the user sees it. A file or a pipe gets every line the
// run tells, as the log does. A terminal gets the same lines, except that
// the lines of each calibration set and simulation run are replaced by one
// progress line rewritten in place. A quiet run (-q) keeps the opening
// block, the warnings, the errors and the summary.
#pragma once

#include <chrono>
#include <ostream>
#include <streambuf>
#include <string>

namespace tarvo::cli {

enum class ScreenMode { Lines, Terminal, Quiet };

// The mode of standard output: a terminal rewrites its progress line, -q
// keeps to the essentials wherever the output goes.
[[nodiscard]] ScreenMode screen_mode(bool terminal, bool quiet);

// A stream buffer in front of standard output that can drop what it is
// given (muted) and keeps one progress line at the bottom of a terminal,
// wiped before any other text is written.
class Screen : public std::streambuf {
 public:
  Screen(std::ostream& real, ScreenMode mode) : real_(real), mode_(mode), stream_(this) {}
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  [[nodiscard]] std::ostream& stream() { return stream_; }
  [[nodiscard]] ScreenMode mode() const { return mode_; }
  void mute(bool muted) { muted_ = muted; }
  [[nodiscard]] bool muted() const { return muted_; }
  // Writes the progress line over the last one (terminal only).
  void status(const std::string& line);
  // Wipes the progress line, if one is shown.
  void clear_status();

 protected:
  int overflow(int c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  std::ostream& real_;
  ScreenMode mode_;
  bool muted_ = false;
  bool status_shown_ = false;
  std::ostream stream_;
};

// What the progress line says of one stage that counts steps (calibration
// sets, simulation runs): elapsed and the time left at the pace so far.
class Pace {
 public:
  using Clock = std::chrono::steady_clock;
  void start(int total);
  // After `done` steps: false when the line was drawn a moment ago, unless
  // the last step has begun.
  [[nodiscard]] bool due(int done);
  [[nodiscard]] std::string left(int done) const;  // "0:20 left", or "" before the first step
  [[nodiscard]] static std::string clock_text(double seconds);

 private:
  Clock::time_point started_ = Clock::now();
  Clock::time_point drawn_{};
  int total_ = 0;
};

}  // namespace tarvo::cli
