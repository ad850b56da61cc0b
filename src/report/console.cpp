// The console, the underscore rules and the header every report file starts
// with.
#include <cstdarg>
#include <cstdio>

#include "report/report.h"
#include "tarvo/limits.h"

namespace tarvo::report {

std::string format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list again;
  va_copy(again, ap);
  char small[256];
  const int needed = std::vsnprintf(small, sizeof small, fmt, ap);
  va_end(ap);
  std::string text;
  if (needed < 0) {
    va_end(again);
    return text;
  }
  if (std::size_t(needed) < sizeof small) {
    text.assign(small, std::size_t(needed));
  } else {
    text.resize(std::size_t(needed) + 1);
    std::vsnprintf(text.data(), text.size(), fmt, again);
    text.resize(std::size_t(needed));
  }
  va_end(again);
  return text;
}

void rule(std::ostream& out, int width, const char* end) {
  if (width > 0) out << std::string(std::size_t(width), '_');
  out << end;
}

namespace {

void write_flushed(std::ostream* stream, const std::string& text) {
  if (stream == nullptr) return;
  *stream << text;
  stream->flush();
}

}  // namespace

void Console::out(const std::string& text) {
  write_flushed(out_, text);
}

void Console::err(const std::string& text) {
  write_flushed(err_, text);
}

// The log is a file read after the run: it is not flushed per message.
void Console::log(const std::string& text) {
  if (log_ != nullptr) *log_ << text;
}

void Console::log_then_out(const std::string& text) {
  log(text);
  out(text);
}

void Console::out_then_log(const std::string& text) {
  out(text);
  log(text);
}

int shown_level(int index, int sets) {
  return sets == MAX_SETS ? index : index + 1;
}

void write_header(std::ostream& out, const Header& header, const std::string& file_name) {
  out << header.date << '\n';
  out << "Executable file: " << VERSION << '\n';
  for (const std::string& input : header.inputs) out << "Input data file: " << input << '\n';
  out << "Output     file: " << file_name << "\n\n";
}

}  // namespace tarvo::report
