// The number checks stop the read on the first bad character: a genotype file
// with a stray sign or letter is far more likely a layout mistake than a value
// worth guessing at.
#include "formats/fields.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "tarvo/error.h"

namespace tarvo::fields {

LineRead read_line(std::istream& in, std::string& line) {
  line.clear();
  errno = 0;
  if (!std::getline(in, line)) {
    // A failed read is never taken for the end of the file.
    if (in.bad()) {
      throw Error(ErrorCode::ReadFailed, SystemDetails{.error = errno});
    }
    return line.empty() ? LineRead::End : LineRead::Whole;
  }
  if (!in.eof()) line.push_back('\n');
  return LineRead::Whole;
}

char spreadsheet_separator(std::string_view line) {
  const bool semicolons = line.find(';') != std::string_view::npos;
  return semicolons && line.find(',') == std::string_view::npos ? ';' : ',';
}

void check_line(std::string& line, int lineno) {
  if (lineno == 1 && line.starts_with(BYTE_ORDER_MARK)) line.erase(0, BYTE_ORDER_MARK.size());
  if (line.find('\0') != std::string::npos) {
    throw Error(ErrorCode::NulCharacter, LineDetails{.line = lineno});
  }
}

int parse_int(std::string_view field, int line, int fieldno) {
  long long value = 0;
  bool too_large = false;
  for (char c : field) {
    if (c < '0' || c > '9') {
      throw Error(
          ErrorCode::NotANumber,
          LineDetails{.line = line, .field = fieldno, .text = std::string(field), .character = c});
    }
    if (!too_large) {
      value = value * 10 + (c - '0');
      if (value > 2147483647LL) too_large = true;
    }
  }
  // Wrapping a long digit string into 32 bits would turn one allele into
  // another without a word.
  if (too_large) {
    throw Error(ErrorCode::NumberTooLarge,
                LineDetails{.line = line, .field = fieldno, .text = std::string(field)});
  }
  return int(value);
}

double parse_decimal(std::string_view field, int line, int fieldno) {
  int points = 0;
  for (char c : field) {
    if (c == '.' && ++points > 1) {
      throw Error(ErrorCode::TwoDecimalPoints,
                  LineDetails{.line = line, .field = fieldno, .text = std::string(field)});
    }
    if (c != '.' && (c < '0' || c > '9')) {
      throw Error(ErrorCode::NotADecimal,
                  LineDetails{.line = line, .field = fieldno, .character = c});
    }
  }
  // Only digits and one point are left, which strtod reads in the C locale;
  // "" and "." convert nothing and give 0.
  return std::strtod(std::string(field).c_str(), nullptr);
}

void tabs_to_commas(std::string& line) {
  const bool comma = line.find(',') != std::string::npos;
  const bool tab = line.find('\t') != std::string::npos;
  if (comma && tab) throw Error(ErrorCode::TabsAndCommas);
  if (!comma)
    for (char& c : line)
      if (c == '\t') c = ',';
}

namespace {

// True when nothing but the line end follows position pos: the newline, a
// carriage return and newline, a lone carriage return, or the end of a last
// line that has no newline.
bool at_line_end(const std::string& line, std::size_t pos) {
  const std::string_view rest = std::string_view(line).substr(pos);
  return rest.empty() || rest == "\n" || rest == "\r\n" || rest == "\r";
}

}  // namespace

void commas_to_blanks(std::string& line) {
  std::string out;
  out.reserve(line.size() + 8);
  // Blanks after a comma are padding in a spreadsheet export, not data.
  for (char c : line) {
    if (c == ' ' && !out.empty() && out.back() == ',') continue;
    out.push_back(c);
  }
  // Empty fields become "0" so every field is still there once the commas
  // turn into blanks and runs of blanks collapse between fields.
  std::string filled;
  filled.reserve(out.size() + 8);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] != ',') {
      filled += out[i];
      continue;
    }
    if (i == 0 || out[i - 1] == ',') filled += '0';
    filled += ' ';
    if (at_line_end(out, i + 1)) filled += '0';
  }
  line = std::move(filled);
}

void skip_blanks(std::string_view& text) {
  text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
}

void skip_field(std::string_view& text) {
  text.remove_prefix(std::min(text.find_first_of(" \n"), text.size()));
}

void skip_through(std::string_view& text, char c) {
  const std::size_t at = text.find_first_of(std::string{c, '\n'});
  if (at == std::string_view::npos)
    text = {};
  else
    text.remove_prefix(text[at] == c ? at + 1 : at);
}

std::size_t char_position(std::string_view text, char c) {
  if (text.empty() || text[0] == c) return 0;
  const std::size_t pos = text.find(c, 1);
  return pos == std::string_view::npos ? 0 : pos;
}

std::string_view first_field(std::string_view text) {
  return text.substr(0, text.find_first_of(" \n"));
}

void drop_carriage_return(std::string& line) {
  const std::size_t n = line.size();
  if (n >= 2 && line[n - 2] == '\r' && line[n - 1] == '\n')
    line.erase(n - 2, 1);
  else if (n >= 1 && line[n - 1] == '\r')
    line.pop_back();
}

// The current population, once closed, dropped when it is too small: its
// samples are the last of the table. Whether it was.
bool PopulationList::drop_if_small(GenotypeTable& table, const GenotypeReadSettings& settings) {
  if (current_ < 0 || count(current_) >= settings.min_population) return false;
  if (settings.on_population_dropped) settings.on_population_dropped(name(current_));
  table.drop_last(count(current_));
  return true;
}

void PopulationList::open(GenotypeTable& table, const GenotypeReadSettings& settings) {
  if (!drop_if_small(table, settings)) ++current_;
  if (current_ >= BLOCK)
    throw Error(ErrorCode::TooManyPopulations, LimitDetails{.count = current_ + 1, .limit = BLOCK});
  const std::size_t p = std::size_t(current_);
  if (counts_.size() <= p) {
    counts_.resize(p + 1);
    firsts_.resize(p + 1);
    names_.resize(p + 1);
  }
  counts_[p] = 0;
  firsts_[p] = table.size();
  names_[p].clear();
}

std::vector<Population> PopulationList::finish(GenotypeTable& table,
                                               const GenotypeReadSettings& settings) {
  if (drop_if_small(table, settings)) --current_;
  const int nsamples = table.size();
  std::vector<Population> out;
  for (int p = 0; p <= current_; ++p) {
    const std::size_t i = std::size_t(p);
    out.push_back(Population{names_[i], firsts_[i], p < current_ ? firsts_[i + 1] : nsamples});
  }
  return out;
}

std::string format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list again;
  va_copy(again, ap);
  const int n = std::vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::string out(std::size_t(n > 0 ? n : 0), '\0');
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, fmt, again);
  va_end(again);
  return out;
}

}  // namespace tarvo::fields
