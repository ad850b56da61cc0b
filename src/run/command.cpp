// The command-line layer: shape check and normalisation of the arguments,
// then interpretation into the option table and the output names.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>

#include "tarvo.h"

namespace tarvo {

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Reports a failure of the normaliser that is not the user's fault.
int error(Run& run, const std::string& progname, const char* text, char letter, const char* tail) {
  to_err(run, "\n%s: %s-%c%s\n\n", progname.c_str(), text, letter, tail);
  return 0;
}

// Values are read the way atoi would, but clamped so that a long run of
// digits cannot overflow an int.
int to_int(const std::string& text) {
  long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return int(v);
}

// The small addend makes decimal inputs such as 0.57 land on their digits
// despite binary rounding.
int to_scaled(const std::string& text, double scale) {
  double v = std::atof(text.c_str()) * scale + 0.00001;
  if (v >= double(INT_MAX)) return INT_MAX;
  return int(v);
}

// Returns 0 after writing the messages when the value of a numeric option has
// characters other than digits (and one '.' for the decimal options).
int check_number(Run& run, const std::string& progname, char letter, const std::string& value) {
  const bool decimal = letter == 'e' || letter == 'E' || letter == 'T' || letter == 'Y';
  int ok = 1;
  int points = 0;
  for (char c : value) {
    if (is_digit(c)) continue;
    if (decimal && c == '.') {
      if (++points > 1) {
        to_err(run, "\n%s: Argument following option '-%c' has more than one '.' \n",
               progname.c_str(), letter);
        ok = 0;
      }
      continue;
    }
    to_err(
        run,
        "\n%s: Option '-%c' not followed by a space before digits. Offending character was '%c'\n",
        progname.c_str(), letter, c);
    return 0;
  }
  return ok;
}

constexpr const char* SUFFIX[9] = {"_freq.txt", "_miss.txt", "_pair.txt", "_pop.txt", "_stat.txt",
                                   "_simm.txt", "_join.txt", "_loci.txt", "_log.txt"};

// Room for the longest suffix and the terminator in a name buffer.
constexpr std::size_t MAX_PREFIX = NAMEBUF - 10;

}  // namespace

int get_command_line(Run& run, const std::string& progname, const std::string& numeric_letters,
                     const std::string& string_letters, const std::string& flag_letters,
                     std::vector<std::string>& args) {
  try {
    const std::string accepted = numeric_letters + string_letters + flag_letters;
    auto in = [](const std::string& set, char c) { return set.find(c) != std::string::npos; };

    std::vector<std::string> out;
    std::vector<std::string> strays;
    if (!args.empty()) out.push_back(args[0]);
    int result = 1;

    const std::size_t n = args.size();
    for (std::size_t i = 1; i < n && result; ++i) {
      const std::string& arg = args[i];
      if (arg == "--") break;
      if (arg.size() < 2 || arg[0] != '-') {
        strays.push_back(arg);
        continue;
      }
      for (std::size_t pos = 1; pos < arg.size(); ++pos) {
        const char c = arg[pos];
        if (!in(accepted, c)) {
          to_err(run, "\n\n%s: Unrecognised command '%s' \n\n", progname.c_str(), arg.c_str());
          tarvo_usage(run, progname);
          stop(1);
        }
        out.push_back(std::string("-") + c);
        if (in(flag_letters, c)) continue;
        if (i + 1 >= n) {
          // -s may stand without a count at the end of the line.
          if (c == 's') {
            out.push_back("100");
            continue;
          }
          to_err(run, "\n%s: Option '-%c' not followed by space before option argument\n",
                 progname.c_str(), c);
          result = 0;
          break;
        }
        if (pos + 1 != arg.size()) {
          to_err(run, "\n%s: Option '-%c' not followed by space before option argument\n",
                 progname.c_str(), c);
          result = 0;
          break;
        }
        const std::string& next = args[i + 1];
        if (in(string_letters, c)) {
          if (!next.empty() && next[0] == '-') {
            to_err(run, "\n%s: String following option '-%c' should not begin with '-' \n",
                   progname.c_str(), c);
            result = 0;
            break;
          }
        } else {
          // A count-less -s leaves the following word to the scan.
          if (c == 's' && (next.empty() || !is_digit(next[0]))) {
            out.push_back("100");
            break;
          }
          if (!check_number(run, progname, c, next)) {
            result = 0;
            break;
          }
        }
        out.push_back(next);
        ++i;
      }
    }

    out.push_back("--");
    for (const std::string& s : strays) {
      out.push_back(s);
      to_err(run, "\n\nUnknown option parameter: \"%s\"\n\n", s.c_str());
      result = 0;
    }
    if (result) args = std::move(out);
    return result;
  } catch (const std::bad_alloc&) {
    error(run, progname, "Memmory allocation error in get_command_line()", ' ', "");
    stop(1);
  }
}

void duplicate_option(Run& run, char letter, const std::string& progname) {
  to_out(run, "\n\nDuplicate option -%c found on command line\nPlease check and run %s again\n\n",
         letter, progname.c_str());
  tarvo_usage(run, progname);
  stop(1);
}

int command_line(Run& run, int argc, char** argv, const std::string& progname) {
  run.opt = Options{};
  Options& o = run.opt;

  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
  if (!get_command_line(run, progname, "HbceEmnMrRsTYz", "12dk", "fjpw", args)) {
    tarvo_usage(run, progname);
    stop(1);
  }

  std::size_t i = 1;
  for (; i < args.size() && args[i] != "--"; ++i) {
    const char letter = args[i][1];
    if (letter == 'T') {
      to_out(run, "Option -T in version 1 has been replaced by option -Y in version 1.10\n");
      to_out(run, "Option -T is backward compatible in this version.\n");
    }
    auto mark = [&](int& flag) {
      if (flag) duplicate_option(run, letter, progname);
      flag = 1;
    };
    switch (letter) {
      case 'f':
        mark(o.f_option);
        continue;
      case 'j':
        mark(o.j_option);
        continue;
      case 'p':
        mark(o.p_option);
        continue;
      case 'w':
        mark(o.w_option);
        continue;
      default:
        break;
    }
    const std::string& value = args[++i];
    switch (letter) {
      case '1':
        mark(o.i_option[0]);
        o.i_value[0] = value;
        break;
      case '2':
        mark(o.i_option[1]);
        o.i_value[1] = value;
        break;
      case 'd':
        mark(o.d_option);
        o.d_value = value;
        break;
      case 'k':
        mark(o.k_option);
        o.k_value = value;
        break;
      case 'b':
        mark(o.b_option);
        o.b_value = to_int(value);
        break;
      case 'c':
        mark(o.c_option);
        o.c_value = to_int(value);
        break;
      case 'e':
        mark(o.e_option);
        o.e_value = to_scaled(value, 10000.0);
        break;
      case 'E':
        mark(o.E_option);
        o.E_value = to_scaled(value, 10000.0);
        break;
      case 'H':
        mark(o.H_option);
        o.H_value = to_int(value);
        break;
      case 'm':
        mark(o.m_option);
        o.m_value = to_int(value);
        break;
      case 'M':
        mark(o.M_option);
        o.M_value = to_int(value);
        break;
      case 'n':
        mark(o.n_option);
        o.n_value = to_int(value);
        break;
      case 'r':
        mark(o.r_option);
        o.r_value = to_int(value);
        break;
      case 'R':
        mark(o.R_option);
        o.R_value = to_int(value);
        break;
      case 's':
        mark(o.s_option);
        o.s_value = to_int(value);
        break;
      case 'T':
      case 'Y':
        mark(o.Y_option);
        o.Y_value = to_scaled(value, 100.0);
        break;
      case 'z':
        mark(o.z_option);
        // Kept below INT_MAX so that the shifts for -n 1000 and for display
        // cannot overflow.
        o.z_value = std::min(to_int(value), INT_MAX - 1) - 1;
        break;
      default:
        break;
    }
  }

  if (!o.E_option) o.E_value = o.e_value;
  if (o.n_value == 1000) o.z_value += 1;

  const int model = check_var(run);
  if (model == 0) {
    tarvo_usage(run, progname);
    return 0;
  }
  if (!check_arguments(run, progname)) {
    tarvo_usage(run, progname);
    return 0;
  }
  if (o.d_value.size() > MAX_PREFIX) {
    to_err(run, "%s: Error option d: prefix longer than %zu characters\n", progname.c_str(),
           MAX_PREFIX);
    stop(1);
  }
  for (int k = 0; k < 9; ++k) {
    o.o_value[k] = o.d_value + SUFFIX[k];
    o.o_option[k] = o.d_option;
  }
  return model;
}

}  // namespace tarvo
