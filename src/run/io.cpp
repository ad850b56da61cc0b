// Output helpers shared by every stage: the log/standard-output pairs, the
// date line of the report headers and the fatal exit.
#include <cstdarg>

#include "tarvo.h"

namespace tarvo {

void stop(int status) {
  throw Exit{status};
}

static void vwrite(FILE* stream, const char* fmt, va_list ap) {
  if (stream) std::vfprintf(stream, fmt, ap);
}

void log_out(Run& run, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  vwrite(run.io.fp7, fmt, ap);
  vwrite(run.io.out, fmt, ap2);
  if (run.io.out) std::fflush(run.io.out);
  va_end(ap2);
  va_end(ap);
}

void out_log(Run& run, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  vwrite(run.io.out, fmt, ap);
  if (run.io.out) std::fflush(run.io.out);
  vwrite(run.io.fp7, fmt, ap2);
  va_end(ap2);
  va_end(ap);
}

void to_log(Run& run, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vwrite(run.io.fp7, fmt, ap);
  va_end(ap);
}

void to_out(Run& run, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vwrite(run.io.out, fmt, ap);
  va_end(ap);
  if (run.io.out) std::fflush(run.io.out);
}

void to_err(Run& run, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vwrite(run.io.err, fmt, ap);
  va_end(ap);
  if (run.io.err) std::fflush(run.io.err);
}

std::string date_line(Run& run) {
  std::time_t now = run.io.now_override ? run.io.now_override : std::time(nullptr);
  return std::asctime(std::localtime(&now));
}

std::string temp_file_name(const Run& run) {
  return run.opt.d_value + "_temp.txt";
}

int shown_z(const Run& run, int index) {
  return run.opt.n_value == 1000 ? index : index + 1;
}

}  // namespace tarvo
