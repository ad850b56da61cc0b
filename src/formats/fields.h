// Line and field operations shared by the readers and writers of the file
// formats. Every reader works on one line at a time and eats it field by
// field from the front: the helpers move a view over the line, never the
// text itself, so reading a line costs its length however many fields it
// holds.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/formats.h"
#include "tarvo/genotypes.h"

namespace tarvo::fields {

enum class LineRead { End, Whole };

// The next line with its newline (none at the end of the stream), however
// long: a panel of hundreds of loci makes lines of thousands of characters.
// A failed read throws Error(ReadFailed) with the system's error number, so
// that a disk or network fault is never taken for the end of the file.
[[nodiscard]] LineRead read_line(std::istream& in, std::string& line);
// The mark some spreadsheets write at the start of a UTF-8 file.
inline constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";
// The field separator of a spreadsheet line: a semicolon (what spreadsheets
// write where the decimal separator is a comma) when the line holds
// semicolons and no comma; a comma otherwise.
[[nodiscard]] char spreadsheet_separator(std::string_view line);

// The checks of every line read: a UTF-8 byte-order mark dropped from the
// first line; Error(NulCharacter) for a NUL byte, which no name or number
// may hold and which would cut a name short wherever it is printed.
void check_line(std::string& line, int lineno);

// A non-negative integer of digits only: Error(NotANumber) or
// Error(NumberTooLarge) past 2147483647, with the line and field number.
[[nodiscard]] int parse_int(std::string_view field, int line, int fieldno);
// Digits and at most one decimal point: Error(TwoDecimalPoints) or
// Error(NotADecimal). An empty field or a lone point is 0.
[[nodiscard]] double parse_decimal(std::string_view field, int line, int fieldno);

// A tab-separated line becomes comma-separated; Error(TabsAndCommas) when it
// holds both.
void tabs_to_commas(std::string& line);
// Commas become blanks; blanks after a comma are dropped and empty fields
// become "0", so every field survives as one blank-separated word.
void commas_to_blanks(std::string& line);
// Drops the leading blanks.
void skip_blanks(std::string_view& text);
// Drops the leading field, up to the first blank or newline.
void skip_field(std::string_view& text);
// Drops the text through the first c, or up to the newline when no c comes
// before it, or everything.
void skip_through(std::string_view& text, char c);
// Position of c after the first character; 0 when there is none (or when
// the text starts with c).
[[nodiscard]] std::size_t char_position(std::string_view text, char c);
// The leading field: up to the first blank or newline.
[[nodiscard]] std::string_view first_field(std::string_view text);
// A CR before the newline, or a CR ending the text, is dropped.
void drop_carriage_return(std::string& line);

// Every line of in, counted in lineno, checked and without its carriage
// return, through on_line(std::string& line).
template <typename OnLine>
void for_each_line(std::istream& in, int& lineno, OnLine&& on_line) {
  std::string line;
  while (read_line(in, line) != LineRead::End) {
    ++lineno;
    check_line(line, lineno);
    drop_carriage_return(line);
    on_line(line);
  }
}

// The populations of a genotype file as its separators open them. With a
// minimum size every population smaller than it, the first and the last
// included, is dropped once closed (its samples removed from the table) and
// its index reused.
class PopulationList {
 public:
  // Closes the current population and opens the next at the table's end.
  void open(GenotypeTable& table, const GenotypeReadSettings& settings);
  void add_sample() { ++counts_[std::size_t(current_)]; }
  void name_current(std::string name) { names_[std::size_t(current_)] = std::move(name); }
  [[nodiscard]] int current() const { return current_; }
  [[nodiscard]] int count(int p) const { return counts_[std::size_t(p)]; }
  [[nodiscard]] const std::string& name(int p) const { return names_[std::size_t(p)]; }
  // Closes the last population; populations 0 to current, the last ending
  // at the table's end.
  [[nodiscard]] std::vector<Population> finish(GenotypeTable& table,
                                               const GenotypeReadSettings& settings);

 private:
  bool drop_if_small(GenotypeTable& table, const GenotypeReadSettings& settings);
  int current_ = -1;
  std::vector<int> counts_;
  std::vector<int> firsts_;
  std::vector<std::string> names_;
};

// printf into a string.
[[nodiscard]] std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tarvo::fields
