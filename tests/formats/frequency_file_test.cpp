// The allele frequency file in both layouts, and its refusals.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tarvo/error.h"
#include "tarvo/formats.h"

namespace {

using tarvo::Error;
using tarvo::ErrorCode;
using tarvo::FrequencyDetails;
using tarvo::FrequencyTable;
using tarvo::LineDetails;
using namespace std::string_literals;

FrequencyTable read(const std::string& text) {
  std::istringstream in(text);
  return tarvo::read_frequency_file(in);
}

Error error_of(const std::string& text) {
  try {
    (void)read(text);
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error for\n" << text;
  return Error(ErrorCode::NoLoci);
}

TEST(FrequencyFile, AlleleAndFrequencyLines) {
  // Tabs in one locus, commas in the next, CRLF ends and blank lines.
  const FrequencyTable t =
      read("A\t1\t2\t3\nA\t0.2\t0.3\t0.5\n\n   \nB, 10, 20\r\nB,0.25,0.75\r\n");
  ASSERT_EQ(t.size(), 2);
  EXPECT_EQ(t.loci[0].alleles, (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(t.loci[0].freqs, (std::vector<double>{0.2, 0.3, 0.5}));
  EXPECT_EQ(t.loci[0].counts, (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(t.loci[1].alleles, (std::vector<std::int32_t>{10, 20}));
  EXPECT_EQ(t.loci[1].cumulative, (std::vector<double>{0.25, 1.0}));
  EXPECT_EQ(t.loci[1].missing, 0);
}

TEST(FrequencyFile, OneLinePerLocusNumbersTheAlleles) {
  // Rounded frequencies are kept as read; the running sum is scaled to end at 1.
  const FrequencyTable t = read("A 0.5 0.5\nB,0.333,0.333,0.333");
  ASSERT_EQ(t.size(), 2);
  EXPECT_EQ(t.loci[1].alleles, (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(t.loci[1].freqs[2], 0.333);
  EXPECT_DOUBLE_EQ(t.loci[1].cumulative[0], 0.333 / 0.999);
  EXPECT_EQ(t.loci[1].cumulative[2], 1.0);
}

TEST(FrequencyFile, ErrorsCarryTheirValues) {
  Error e = error_of("A 1 2\nA 0.5 0.4\n");
  EXPECT_EQ(e.code(), ErrorCode::FrequencySum);
  EXPECT_EQ(e.details<FrequencyDetails>().line, 2);
  EXPECT_DOUBLE_EQ(e.details<FrequencyDetails>().total, 0.9);
  e = error_of("A 1 2 3\nA 0.5 0.5\n");
  EXPECT_EQ(e.code(), ErrorCode::FrequencyCount);
  EXPECT_EQ(e.details<FrequencyDetails>().locus, "A");
  EXPECT_EQ(e.details<FrequencyDetails>().alleles, 3);
  EXPECT_EQ(e.details<FrequencyDetails>().frequencies, 2);
  e = error_of("A 1 3 2\nA 0.5 0.25 0.25\n");
  EXPECT_EQ(e.code(), ErrorCode::AllelesNotAscending);
  EXPECT_EQ(e.details<FrequencyDetails>().line, 1);
  // 0 is the missing allele, never one with a frequency.
  e = error_of("A 1 2\nA 0.5 0.5\nB 1 0 100\nB 0.5 0.25 0.25\n");
  EXPECT_EQ(e.code(), ErrorCode::FrequencyAlleleZero);
  EXPECT_EQ(e.details<FrequencyDetails>().locus, "B");
  EXPECT_EQ(e.details<FrequencyDetails>().line, 3);
  EXPECT_EQ(e.details<FrequencyDetails>().field, 3);
  EXPECT_EQ(error_of("L1 00 100\nL1 0.5 0.5\n").code(), ErrorCode::FrequencyAlleleZero);
  e = error_of("A 1 2\nA 0.5 0.5\nB 1 2\n");
  EXPECT_EQ(e.code(), ErrorCode::NoFrequencyLine);
  EXPECT_EQ(e.details<FrequencyDetails>().locus, "B");
  e = error_of("A 0.5 0.2.5\n");
  EXPECT_EQ(e.code(), ErrorCode::TwoDecimalPoints);
  EXPECT_EQ(e.details<LineDetails>().text, "0.2.5");
  EXPECT_EQ(e.details<LineDetails>().field, 3);
  e = error_of("A 0.5 -0.5\n");
  EXPECT_EQ(e.code(), ErrorCode::NotADecimal);
  EXPECT_EQ(e.details<LineDetails>().character, '-');
  EXPECT_EQ(error_of("A\t1,2\n").code(), ErrorCode::TabsAndCommas);
  EXPECT_EQ(error_of("A 1\nA 1.0\nB\0 1\nB 1.0\n"s).details<LineDetails>().line, 3);
  EXPECT_EQ(read("\xEF\xBB\xBFL1 1 2\nL1 0.5 0.5\n").loci[0].name, "L1");  // byte-order mark
}

}  // namespace
