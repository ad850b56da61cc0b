// The program name, the output file set with its headers, and the end-of-run
// lines with the processor time used.
#include "tarvo.h"

namespace tarvo {

std::string program_name(const std::string& path) {
  // Only the backslash separates: names given with forward slashes stay whole.
  const std::size_t cut = path.rfind('\\');
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The name, with its terminator, has to fit a name buffer.
bool program_name_fits(const std::string& path) {
  return program_name(path).size() < std::size_t(NAMEBUF);
}

[[noreturn]] void refuse_long_program_path(Run& run) {
  to_err(run, "tarvo: program path longer than %d characters\n", NAMEBUF - 1);
  stop(1);
}

namespace {

FILE* open_out(Run& run, const std::string& name) {
  FILE* f = std::fopen(name.c_str(), "w");
  if (!f) {
    to_err(run, "open_files(): Cannot open <%s> for writing\n", name.c_str());
    stop(255);
  }
  return f;
}

void header(Run& run, FILE* f, const std::string& date, const std::string& name) {
  const Options& o = run.opt;
  std::fprintf(f, "%s\n", date.c_str());
  std::fprintf(f, "Executable file: %s\n", VERSION);
  for (int k = 0; k < 2; ++k)
    if (o.i_option[k]) std::fprintf(f, "Input data file: %s\n", o.i_value[k].c_str());
  std::fprintf(f, "Output     file: %s\n\n", name.c_str());
}

bool analyses(int model) {
  return model >= 1 && model <= 6;
}
bool own_frequencies(int model) {
  return model >= 1 && model <= 10 && model % 2 == 1;
}

}  // namespace

void open_files(Run& run, int model) {
  Io& io = run.io;
  const auto& name = run.opt.o_value;
  // One reading of the clock, so every header carries the same time.
  const std::string date = date_line(run);

  if (own_frequencies(model)) io.fp0 = open_out(run, name[7]);
  io.fp1 = open_out(run, name[0]);
  header(run, io.fp1, date, name[0]);
  io.fp2 = open_out(run, name[1]);
  header(run, io.fp2, date, name[1]);
  if (analyses(model)) {
    io.fp3 = open_out(run, name[4]);
    header(run, io.fp3, date, name[4]);
  }
  io.fp5 = open_out(run, name[2]);
  header(run, io.fp5, date, name[2]);
  if (model >= 7 && run.opt.R_value == 0)
    std::fprintf(io.fp5,
                 "\n\nNo recaptures simulated.\nIf you desire to simulate recaptures use option: "
                 "[-R NUM]\n");
  io.fp6 = open_out(run, name[3]);
  header(run, io.fp6, date, name[3]);
  io.fp7 = open_out(run, name[8]);
  log_out(run, "%s\n", date.c_str());
  log_out(run, "Executable file: %s\n\n", VERSION);
}

void close_files(Run& run, int model) {
  if (model <= 0) return;
  Io& io = run.io;
  for (FILE** f : {&io.fp0, &io.fp1, &io.fp2, &io.fp3, &io.fp5, &io.fp6}) {
    if (*f) std::fclose(*f);
    *f = nullptr;
  }
}

std::string elapsed_text(double seconds) {
  int hours = 0, minutes = 0;
  if (seconds > 59.0) {
    minutes = int(seconds / 60);
    seconds -= 60.0 * minutes;
    if (minutes > 59) {
      hours = minutes / 60;
      minutes -= 60 * hours;
    }
  }
  char buf[128];
  std::string text = "Elapse time: ";
  if (hours) {
    std::snprintf(buf, sizeof buf, "%d hours ", hours);
    text += buf;
    std::snprintf(buf, sizeof buf, minutes == 1 ? "%d minute " : "%d minutes ", minutes);
    text += buf;
  } else {
    if (minutes >= 1) {
      std::snprintf(buf, sizeof buf, minutes == 1 ? "%d minute " : "%d minutes ", minutes);
      text += buf;
    }
    if (seconds > 0.0 || minutes >= 1) {
      std::snprintf(buf, sizeof buf, " %2.1f seconds\n", seconds);
      text += buf;
    }
  }
  text += "\n";
  return text;
}

void finish_time(Run& run, std::clock_t start, const std::string& progname) {
  const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
  const std::string date = date_line(run);
  const std::string elapsed = elapsed_text(seconds);
  for (FILE* f : {run.io.fp7, run.io.out}) {
    if (!f) continue;
    std::fprintf(f, "\n\n******Finished  %s ******\n", progname.c_str());
    std::fprintf(f, "Finish time: %s", date.c_str());
    std::fprintf(f, "%s", elapsed.c_str());
    std::fflush(f);
  }
}

}  // namespace tarvo
