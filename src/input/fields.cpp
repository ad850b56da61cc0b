// Text field operations shared by the input readers. Every reader works on
// one line at a time and eats it field by field from the front, so these
// helpers edit the caller's text in place. The number checks stop the run on
// the first bad character: a genotype file with a stray sign or letter is
// far more likely a layout mistake than a value worth guessing at.
#include <cstdlib>

#include "tarvo.h"

namespace tarvo {

// At most STR-1 characters (newline included) are held at once, as with a
// C line buffer of STR characters; a longer line is reported to the caller
// rather than silently split, since the readers treat each read as one line.
bool read_line(FILE* fp, std::string& line, bool& too_long) {
  line.clear();
  too_long = false;
  int c = 0;
  while (line.size() < size_t(STR - 1) && (c = std::fgetc(fp)) != EOF) {
    line.push_back(char(c));
    if (c == '\n') return true;
  }
  if (line.size() == size_t(STR - 1)) {
    // A full buffer is only an overflow when more of the file follows.
    int next = std::fgetc(fp);
    if (next != EOF) {
      std::ungetc(next, fp);
      too_long = true;
    }
    return true;
  }
  return !line.empty();
}

int check_int(Run& run, const std::string& field, int line, int fieldno, const std::string& file) {
  long long value = 0;
  bool too_large = false;
  for (char c : field) {
    if (c < '0' || c > '9') {
      log_out(run,
              "\ncheck_int: Non-numeric character (or '.' or '-') read in line %d (field %d ) \n",
              line, fieldno);
      log_out(run, "           Character found --> %c <--  in \"%s\"\n", c, field.c_str());
      log_out(run, "           Please check input file \"%s\".\n", file.c_str());
      stop(1);
    }
    if (!too_large) {
      value = value * 10 + (c - '0');
      if (value > 2147483647LL) too_large = true;
    }
  }
  // Wrapping a long digit string into 32 bits would turn one allele into
  // another without a word; refuse it like any other unreadable field.
  if (too_large) {
    log_out(run, "\ncheck_int: Number too large read in line %d (field %d ) \n", line, fieldno);
    log_out(run, "           Number found --> %s <--\n", field.c_str());
    log_out(run, "           Please check input file \"%s\".\n", file.c_str());
    stop(1);
  }
  return int(value);
}

double check_double(Run& run, const std::string& field, int line, int fieldno,
                    const std::string& file) {
  int points = 0;
  for (char c : field) {
    if (c == '.' && ++points > 1) {
      log_out(run,
              "\ncheck_double: Single number had more than one decimal digit '.' in line %d "
              "(field %d)\n",
              line, fieldno);
      log_out(run, "              Number found --> %s <-- \n", field.c_str());
      log_out(run, "              Please check input file <%s>.\n", file.c_str());
      stop(1);
    }
    if (c != '.' && (c < '0' || c > '9')) {
      log_out(run, "\ncheck_double: Non-numeric character read in line %d (field %d)\n", line,
              fieldno);
      log_out(run, "              Character found --> %c <-- \n", c);
      log_out(run, "              Please check input file <%s>.\n", file.c_str());
      stop(1);
    }
  }
  // Only digits and one point are left, which strtod reads in the C locale;
  // '' and '.' convert nothing and give 0.
  return std::strtod(field.c_str(), nullptr);
}

void tabtocsv(Run& run, std::string& line) {
  bool comma = line.find(',') != std::string::npos;
  bool tab = line.find('\t') != std::string::npos;
  if (comma && tab) {
    log_out(run,
            "Found both comma's and tabs in input file.  Can accept csv format or tab separated "
            "fields but not both.");
    stop(1);
  }
  if (!comma)
    for (char& c : line)
      if (c == '\t') c = ',';
}

// True when nothing but the line end follows position pos: the newline, a
// carriage return and newline, a lone carriage return, or the end of a last
// line that has no newline.
static bool at_line_end(const std::string& line, size_t pos) {
  std::string_view rest = std::string_view(line).substr(pos);
  return rest.empty() || rest == "\n" || rest == "\r\n" || rest == "\r";
}

void csver(std::string& line) {
  std::string out;
  out.reserve(line.size() + 8);
  // Blanks after a comma are padding in a spreadsheet export, not data.
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ' ' && !out.empty() && out.back() == ',') continue;
    out.push_back(line[i]);
  }
  // Empty fields become "0" so every field is still there once the commas
  // turn into blanks and runs of blanks collapse between fields.
  std::string filled;
  filled.reserve(out.size() + 8);
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == ',') {
      if (i == 0 || out[i - 1] == ',') filled += '0';
      filled += ',';
      if (at_line_end(out, i + 1)) filled += '0';
    } else {
      filled += out[i];
    }
  }
  for (char& c : filled)
    if (c == ',') c = ' ';
  line = std::move(filled);
}

void rem_blank(std::string& text) {
  text.erase(0, text.find_first_not_of(' '));
}

void rem_string(std::string& text) {
  text.erase(0, text.find_first_of(" \n"));
}

void rem_string_char(std::string& text, char c) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == c) {
      text.erase(0, i + 1);
      return;
    }
    if (text[i] == '\n') {
      text.erase(0, i);
      return;
    }
  }
  text.clear();
}

int has_char(const std::string& text, char c) {
  if (text.empty() || text[0] == c) return 0;
  size_t pos = text.find(c, 1);
  return pos == std::string::npos ? 0 : int(pos);
}

void drop_carriage_return(std::string& line) {
  const size_t n = line.size();
  if (n >= 2 && line[n - 2] == '\r' && line[n - 1] == '\n')
    line.erase(n - 2, 1);
  else if (n >= 1 && line[n - 1] == '\r')
    line.pop_back();
}

int open_population(Run& run, int j, int& anim, std::vector<int>& pop_count) {
  const Options& opt = run.opt;
  // The first population is never dropped, nor the last, which no separator closes.
  if (opt.m_option && j > 0 && pop_count[j] < opt.m_value) {
    log_out(run, "Block %s deleted as it had < m_value=%d\n", run.store.b_name[j].c_str(),
            opt.m_value);
    anim -= pop_count[j];
  } else {
    ++j;
  }
  if (j >= BLOCK) fatal(run, 9);
  pop_count[j] = 0;
  run.store.nBlock[j] = anim;
  return j;
}

}  // namespace tarvo
