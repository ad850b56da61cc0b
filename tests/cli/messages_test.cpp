#include "cli/messages.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>

namespace tarvo::cli {
namespace {

TEST(ReportError, EveryCodeHasAMessage) {
  for (int c = 0; c < ERROR_CODES; ++c) {
    std::ostringstream out, err, log;
    report::Console console(&out, &err);
    console.attach_log(&log);
    const Error error(static_cast<ErrorCode>(c));
    EXPECT_EQ(report_error(error, MessageContext{}, console), 1);
    EXPECT_FALSE(out.str().empty() && err.str().empty()) << "code " << c;
    EXPECT_EQ(out.str().find("Unexpected"), std::string::npos) << "code " << c;
    EXPECT_EQ(err.str().find("Unexpected"), std::string::npos) << "code " << c;
    EXPECT_NE(std::string(error.what()), "") << "code " << c;
  }
  std::ostringstream out, err;
  report::Console console(&out, &err);
  EXPECT_EQ(report_error(Error(ErrorCode::Count), MessageContext{}, console), 1);
  EXPECT_EQ(err.str(), "Unexpected failure (code " + std::to_string(ERROR_CODES) + ")\n");
}

// A capacity of the build is raised by its CMake option, which the hint
// after the message names.
TEST(ReportError, CapacityMessagesEndInTheBuildOption) {
  const std::pair<ErrorCode, std::string> limits[] = {
      {ErrorCode::LocusNameTooLong, "SOL"}, {ErrorCode::TooManyPopulations, "BLOCK"},
      {ErrorCode::TooManySamples, "ANIM"},  {ErrorCode::FrequencyTooManyAlleles, "NOA"},
      {ErrorCode::TooManyAlleles, "NOA"},   {ErrorCode::TooManyPatterns, "PERM"}};
  for (const auto& [code, limit] : limits) {
    const std::vector<MessageLine> lines = describe(Error(code));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().stream, MessageStream::StandardError);
    EXPECT_NE(lines.back().text.find("cmake -DTARVO_" + limit + "=N (N above "), std::string::npos)
        << lines.back().text;
  }
}

TEST(ReportError, ReaderMessagesNameTheFileGiven) {
  std::ostringstream out, err, log;
  report::Console console(&out, &err);
  console.attach_log(&log);
  const LineDetails d{.line = 5, .field = 2, .text = "x1", .character = 'x'};
  MessageContext context;
  context.file = "data.gen";
  const Error error(ErrorCode::NotANumber, d);
  (void)report_error(error, context, console);
  const std::string expected =
      "\ncheck_int: Non-numeric character (or '.' or '-') read in line 5 (field 2 ) \n"
      "           Character found --> x <--  in \"x1\"\n"
      "           Please check input file \"data.gen\".\n";
  EXPECT_EQ(out.str(), expected);
  EXPECT_EQ(log.str(), expected);
  // what() holds the same words, without the file only the caller knows.
  EXPECT_STREQ(error.what(),
               "check_int: Non-numeric character (or '.' or '-') read in line 5 (field 2 ) \n"
               "           Character found --> x <--  in \"x1\"\n"
               "           Please check input file \"\".");
}

}  // namespace
}  // namespace tarvo::cli
