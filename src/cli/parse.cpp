// The argument grammar: letters may be clustered (-jz 3), each value is the
// next word, "--" ends the options (any word after it is refused as a stray
// one), and -s may stand without its count.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cli/models.h"
#include "cli/options.h"

namespace tarvo::cli {

namespace {

using report::format;

constexpr const char* NUMERIC_LETTERS = "HbceEmnMrRstTYz";
constexpr const char* STRING_LETTERS = "12dk";
constexpr const char* FLAG_LETTERS = "fjpw";

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool in(const char* set, char c) {
  return std::string_view(set).find(c) != std::string_view::npos;
}

// Values are read the way atoi would, but clamped so that a long run of
// digits cannot overflow an int.
int to_int(const std::string& text) {
  const long long v = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

// A seed is any unsigned 32-bit value; a larger one would have to be cut to
// fit, making different seeds give the same run.
std::uint32_t to_seed(const std::string& text, const std::string& progname,
                      report::Console& console) {
  const std::size_t digits = text.find_first_not_of('0');
  const std::string significant = digits == std::string::npos ? "0" : text.substr(digits);
  if (significant.size() > 10 || std::stoull(significant) > UINT32_MAX) {
    console.err(format("\n%s: Error option r=%s (Accepted range is: 0..%u)\n", progname.c_str(),
                       text.c_str(), UINT32_MAX));
    usage(progname, console);
    throw Exit{1};
  }
  return static_cast<std::uint32_t>(std::stoull(significant));
}

// The small addend makes decimal inputs such as 0.57 land on their digits
// despite binary rounding.
int to_scaled(const std::string& text, double scale) {
  const double v = std::atof(text.c_str()) * scale + 0.00001;
  if (v >= double(INT_MAX)) return INT_MAX;
  return static_cast<int>(v);
}

// False after the messages when the value of a numeric option has characters
// other than digits (and one '.' for the decimal options).
bool check_number(report::Console& console, const std::string& progname, char letter,
                  const std::string& value) {
  const bool decimal = letter == 'e' || letter == 'E' || letter == 'T' || letter == 'Y';
  bool ok = true;
  int points = 0;
  for (char c : value) {
    if (is_digit(c)) continue;
    if (decimal && c == '.') {
      if (++points > 1) {
        console.err(format("\n%s: Argument following option '-%c' has more than one '.' \n",
                           progname.c_str(), letter));
        ok = false;
      }
      continue;
    }
    console.err(format(
        "\n%s: Option '-%c' not followed by a space before digits. Offending character was '%c'\n",
        progname.c_str(), letter, c));
    return false;
  }
  return ok;
}

// One word per option letter and one per value, then "--" and the words that
// belong to no option. Returns false after a message when the shape is wrong.
class Tokenizer {
 public:
  Tokenizer(std::span<const std::string> args, const std::string& progname,
            report::Console& console)
      : args_(args), progname_(progname), console_(console) {}

  [[nodiscard]] bool run() {
    for (std::size_t i = 1; i < args_.size() && ok_; ++i) {
      const std::string& arg = args_[i];
      if (arg == "--") {
        // Words after it used to be dropped unseen; a word the user meant
        // as an option must not vanish from the run.
        strays_.insert(strays_.end(), args_.begin() + std::ptrdiff_t(i) + 1, args_.end());
        break;
      }
      // The fast mode's long option: a word of its own, never clustered.
      if (arg == FAST_OPTION) {
        words_.push_back(arg);
        continue;
      }
      if (arg.size() < 2 || arg[0] != '-') {
        strays_.push_back(arg);
        continue;
      }
      i = cluster(i);
    }
    for (const std::string& s : strays_) {
      console_.err(format("\n\nUnknown option parameter: \"%s\"\n\n", s.c_str()));
      ok_ = false;
    }
    return ok_;
  }
  [[nodiscard]] const std::vector<std::string>& words() const { return words_; }

 private:
  void not_followed(char c) {
    console_.err(format("\n%s: Option '-%c' not followed by space before option argument\n",
                        progname_.c_str(), c));
    ok_ = false;
  }

  enum class Value { Taken, DefaultRuns, Refused };
  // What becomes of the word after a letter that takes a value.
  [[nodiscard]] Value value_after(char c, const std::string& next) {
    if (in(STRING_LETTERS, c)) {
      if (next.empty() || next[0] != '-') return Value::Taken;
      console_.err(format("\n%s: String following option '-%c' should not begin with '-' \n",
                          progname_.c_str(), c));
      return Value::Refused;
    }
    if (next.empty()) {
      // An empty word would read as 0, a value the user never typed.
      console_.err(
          format("\n%s: Argument following option '-%c' is empty \n", progname_.c_str(), c));
      return Value::Refused;
    }
    if (c == 's' && !is_digit(next[0])) return Value::DefaultRuns;
    return check_number(console_, progname_, c, next) ? Value::Taken : Value::Refused;
  }

  // The letters of args_[i]; returns the index of the last word used.
  std::size_t cluster(std::size_t i) {
    const std::string& arg = args_[i];
    const std::size_t n = args_.size();
    for (std::size_t pos = 1; pos < arg.size(); ++pos) {
      const char c = arg[pos];
      if (!in(NUMERIC_LETTERS, c) && !in(STRING_LETTERS, c) && !in(FLAG_LETTERS, c)) {
        console_.err(
            format("\n\n%s: Unrecognised command '%s' \n\n", progname_.c_str(), arg.c_str()));
        usage(progname_, console_);
        throw Exit{1};
      }
      words_.push_back(std::string("-") + c);
      if (in(FLAG_LETTERS, c)) continue;
      if (i + 1 >= n) {
        // -s may stand without a count at the end of the line.
        if (c == 's') {
          words_.emplace_back("100");
          continue;
        }
        not_followed(c);
        return i;
      }
      if (pos + 1 != arg.size()) {
        not_followed(c);
        return i;
      }
      const std::string& next = args_[i + 1];
      switch (value_after(c, next)) {
        case Value::Refused:
          ok_ = false;
          return i;
        case Value::DefaultRuns:
          // A count-less -s leaves the following word to the scan.
          words_.emplace_back("100");
          return i;
        case Value::Taken:
          break;
      }
      words_.push_back(next);
      return i + 1;
    }
    return i;
  }

  std::span<const std::string> args_;
  const std::string& progname_;
  report::Console& console_;
  std::vector<std::string> words_;
  std::vector<std::string> strays_;
  bool ok_ = true;
};

template <typename T>
void set(Setting<T>& setting, T value, char letter, const std::string& progname,
         report::Console& console) {
  if (setting.given) {
    console.out(
        format("\n\nDuplicate option -%c found on command line\nPlease check and run %s again\n\n",
               letter, progname.c_str()));
    usage(progname, console);
    throw Exit{1};
  }
  setting = {std::move(value), true};
}

void set_flag(bool& flag, char letter, const std::string& progname, report::Console& console) {
  Setting<bool> s{flag, flag};
  set(s, true, letter, progname, console);
  flag = true;
}

// Options that take a value.
void set_value(Options& o, char letter, const std::string& value, const std::string& progname,
               report::Console& console) {
  auto number = [&](Setting<int>& s) { set(s, to_int(value), letter, progname, console); };
  auto text = [&](Setting<std::string>& s) { set(s, value, letter, progname, console); };
  switch (letter) {
    case '1':
      text(o.genotype_file);
      break;
    case '2':
      text(o.frequency_file);
      break;
    case 'd':
      text(o.prefix);
      break;
    case 'k':
      text(o.separator);
      break;
    case 'b':
      number(o.mask_resampling);
      break;
    case 'c':
      number(o.iterations);
      break;
    case 'H':
      number(o.second_population);
      break;
    case 'm':
      number(o.min_population);
      break;
    case 'M':
      number(o.simulated_samples);
      break;
    case 'n':
      number(o.sets);
      break;
    case 'r':
      set(o.seed, to_seed(value, progname, console), letter, progname, console);
      break;
    case 'R':
      number(o.recaptures);
      break;
    case 's':
      number(o.runs);
      break;
    case 't':
      number(o.threads);
      break;
    case 'e':
      set(o.error_scaled, to_scaled(value, 10000.0), letter, progname, console);
      break;
    case 'E':
      set(o.retype_error_scaled, to_scaled(value, 10000.0), letter, progname, console);
      break;
    case 'T':
    case 'Y':
      set(o.score_percent, to_scaled(value, 100.0), letter, progname, console);
      break;
    case 'z':
      // Kept below INT_MAX so that the shifts for -n 1000 and for display
      // cannot overflow.
      set(o.level, std::min(to_int(value), INT_MAX - 1) - 1, letter, progname, console);
      break;
    default:
      break;
  }
}

}  // namespace

Options parse_options(std::span<const std::string> args, const std::string& progname,
                      report::Console& console) {
  Tokenizer tokens(args, progname, console);
  if (!tokens.run()) {
    usage(progname, console);
    throw Exit{1};
  }
  Options o;
  bool own_format_flag = false;
  const std::vector<std::string>& words = tokens.words();
  for (std::size_t i = 0; i < words.size(); ++i) {
    // The fast mode's long option; given twice it is still one mode.
    if (words[i] == FAST_OPTION) {
      o.fast = true;
      continue;
    }
    const char letter = words[i][1];
    if (letter == 'T') {
      console.out("Option -T in version 1 has been replaced by option -Y in version 1.10\n");
      console.out("Option -T is backward compatible in this version.\n");
    }
    switch (letter) {
      case 'f':
        set_flag(own_format_flag, letter, progname, console);
        continue;
      case 'j':
        set_flag(o.composites, letter, progname, console);
        continue;
      case 'p':
        set_flag(o.create_only, letter, progname, console);
        continue;
      case 'w':
        set_flag(o.leave_out_misses, letter, progname, console);
        continue;
      default:
        break;
    }
    set_value(o, letter, words[++i], progname, console);
  }
  o.own_format = own_format_flag;
  if (!o.retype_error_scaled.given) o.retype_error_scaled.value = o.error_scaled.value;
  if (o.sets.value == 1000) o.level.value += 1;
  return o;
}

void complete_options(Options& o, const std::string& progname, report::Console& console) {
  // Room for the longest suffix and the terminator in a name buffer of 8192.
  constexpr std::size_t MAX_PREFIX = 8192 - 10;
  if (o.prefix.value.size() > MAX_PREFIX) {
    console.err(format("%s: Error option d: prefix longer than %zu characters\n", progname.c_str(),
                       MAX_PREFIX));
    throw Exit{1};
  }
  static constexpr std::array<const char*, OUTPUTS> SUFFIX = {"_freq.txt", "_miss.txt", "_pair.txt",
                                                              "_pop.txt",  "_stat.txt", "_simm.txt",
                                                              "_join.txt", "_loci.txt", "_log.txt"};
  for (int k = 0; k < OUTPUTS; ++k) o.outputs[k] = o.prefix.value + SUFFIX[k];
}

}  // namespace tarvo::cli
