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
#include "cli/outputs.h"

namespace tarvo::cli {

namespace {

using report::format;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
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
bool check_number(report::Console& console, const std::string& progname, const OptionEntry& entry,
                  const std::string& value) {
  const char letter = entry.letter;
  const bool decimal = entry.kind == OptionKind::Decimal;
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
      // A long option is a word of its own, never clustered.
      if (const OptionEntry* entry = find_long_option(arg)) {
        words_.push_back(entry->letter != 0 ? std::string("-") + entry->letter : arg);
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
  [[nodiscard]] Value value_after(const OptionEntry& entry, const std::string& next) {
    const char c = entry.letter;
    if (entry.kind == OptionKind::Text) {
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
    if (entry.count_optional && !is_digit(next[0])) return Value::DefaultRuns;
    return check_number(console_, progname_, entry, next) ? Value::Taken : Value::Refused;
  }

  // The letters of args_[i]; returns the index of the last word used.
  std::size_t cluster(std::size_t i) {
    const std::string& arg = args_[i];
    const std::size_t n = args_.size();
    for (std::size_t pos = 1; pos < arg.size(); ++pos) {
      const char c = arg[pos];
      const OptionEntry* entry = find_option(c);
      if (entry == nullptr) {
        console_.err(
            format("\n\n%s: Unrecognised command '%s' \n\n", progname_.c_str(), arg.c_str()));
        usage(progname_, console_);
        throw Exit{1};
      }
      words_.push_back(std::string("-") + c);
      if (entry->kind == OptionKind::Flag) continue;
      if (i + 1 >= n) {
        // -s may stand without a count at the end of the line.
        if (entry->count_optional) {
          words_.push_back(std::to_string(entry->default_number));
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
      switch (value_after(*entry, next)) {
        case Value::Refused:
          ok_ = false;
          return i;
        case Value::DefaultRuns:
          // A count-less -s leaves the following word to the scan.
          words_.push_back(std::to_string(entry->default_number));
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
    console.out_and_err(
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

void set_value(Options& o, const OptionEntry& entry, const std::string& value,
               const std::string& progname, report::Console& console) {
  const char letter = entry.letter;
  switch (entry.kind) {
    case OptionKind::Integer:
      set(o.*entry.number, to_int(value), letter, progname, console);
      break;
    case OptionKind::Decimal:
      set(o.*entry.number, to_scaled(value, entry.scale), letter, progname, console);
      break;
    case OptionKind::Level:
      // Kept below INT_MAX so that the shifts for -n 1000 and for display
      // cannot overflow.
      set(o.*entry.number, std::min(to_int(value), INT_MAX - 1) - 1, letter, progname, console);
      break;
    case OptionKind::Text:
      set(o.*entry.text, value, letter, progname, console);
      break;
    case OptionKind::Seed:
      set(o.seed, to_seed(value, progname, console), letter, progname, console);
      break;
    case OptionKind::Flag:
      set_flag(o.*entry.flag, letter, progname, console);
      break;
  }
}

}  // namespace

const OptionEntry* find_option(char letter) {
  if (letter == 0) return nullptr;  // the options that have only a long name
  for (const OptionEntry& entry : OPTION_TABLE)
    if (entry.letter == letter) return &entry;
  return nullptr;
}

const OptionEntry* find_long_option(std::string_view word) {
  for (const OptionEntry& entry : OPTION_TABLE)
    if (entry.long_name != nullptr && word == entry.long_name) return &entry;
  return nullptr;
}

Options::Options() {
  for (const OptionEntry& entry : OPTION_TABLE) {
    if (entry.number != nullptr) (this->*entry.number).value = entry.default_number;
    if (entry.text != nullptr) (this->*entry.text).value = entry.default_text;
  }
}

Options parse_options(std::span<const std::string> args, const std::string& progname,
                      report::Console& console) {
  Tokenizer tokens(args, progname, console);
  if (!tokens.run()) {
    usage(progname, console);
    throw Exit{1};
  }
  Options o;
  const std::vector<std::string>& words = tokens.words();
  for (std::size_t i = 0; i < words.size(); ++i) {
    const OptionEntry* named = find_long_option(words[i]);
    if (named != nullptr && named->letter == 0) {
      // Given twice it is still one mode.
      o.*named->flag = true;
      continue;
    }
    const OptionEntry& entry = *find_option(words[i][1]);
    if (*entry.notice != '\0') console.out(entry.notice);
    const bool flag = entry.kind == OptionKind::Flag;
    set_value(o, entry, flag ? std::string() : words[++i], progname, console);
  }
  if (!o.retype_error_scaled.given) o.retype_error_scaled.value = o.error_scaled.value;
  // -z was read as counted from 1.
  if (o.sets.value == SETS_COUNTING_FROM_ZERO) o.level.value += 1;
  return o;
}

void complete_options(Options& o, const std::string& progname, report::Console& console) {
  if (o.prefix.value.size() > MAX_PREFIX) {
    console.err(format("%s: Error option d: prefix longer than %zu characters\n", progname.c_str(),
                       MAX_PREFIX));
    throw Exit{1};
  }
  for (std::size_t k = 0; k < REPORT_SUFFIXES.size(); ++k)
    o.outputs[k] = o.prefix.value + std::string(REPORT_SUFFIXES[k]);
}

}  // namespace tarvo::cli
