// Standard output's filter: the progress line wiped before other text, the
// quiet mode's muting, and the clock of the progress line.
#include "cli/screen.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tarvo::cli {
namespace {

TEST(Screen, ProgressLineIsWipedBeforeAnyOtherText) {
  std::ostringstream real;
  Screen screen(real, ScreenMode::Terminal);
  screen.stream() << "STAGE 1\n" << std::flush;
  screen.status("run 1 of 10");
  screen.status(std::string(200, 'x'));
  screen.stream() << "Summary\n" << std::flush;
  screen.clear_status();
  EXPECT_EQ(real.str(),
            "STAGE 1\n\r\x1b[Krun 1 of 10\r\x1b[K" + std::string(79, 'x') + "\r\x1b[KSummary\n");
}

TEST(Screen, MutedTextIsDroppedAndOnlyATerminalShowsTheLine) {
  std::ostringstream real;
  Screen screen(real, ScreenMode::Quiet);
  screen.mute(true);
  screen.stream() << "dropped" << 'c' << std::flush;
  screen.status("never on a file");
  screen.mute(false);
  screen.stream() << "kept\n";
  screen.stream().flush();
  EXPECT_EQ(real.str(), "kept\n");
  EXPECT_TRUE(screen.stream().good());
  EXPECT_EQ(screen_mode(true, true), ScreenMode::Quiet);
  EXPECT_EQ(screen_mode(true, false), ScreenMode::Terminal);
  EXPECT_EQ(screen_mode(false, false), ScreenMode::Lines);
}

// A device that takes nothing: the console must see the failure.
class Full : public std::streambuf {
 protected:
  int overflow(int /*c*/) override { return traits_type::eof(); }
};

TEST(Screen, AFailedWriteFailsTheStream) {
  Full full;
  std::ostream real(&full);
  Screen screen(real, ScreenMode::Terminal);
  screen.stream() << "lost" << std::flush;
  EXPECT_FALSE(screen.stream().good());
}

TEST(Pace, ClockAndTimeLeft) {
  EXPECT_EQ(Pace::clock_text(0), "0:00");
  EXPECT_EQ(Pace::clock_text(59.6), "1:00");
  EXPECT_EQ(Pace::clock_text(3725), "1:02:05");
  EXPECT_EQ(Pace::clock_text(-3), "0:00");
  Pace pace;
  pace.start(10);
  EXPECT_EQ(pace.left(0), "");
  EXPECT_EQ(pace.left(5), "0:00 left");
  EXPECT_TRUE(pace.due(1));
  EXPECT_FALSE(pace.due(2));  // drawn a moment ago
  EXPECT_TRUE(pace.due(9));   // the last step always shows
}

}  // namespace
}  // namespace tarvo::cli
