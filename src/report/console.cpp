// The console, the underscore rules and the header every report file starts
// with.
#include <cerrno>
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

// 0, or the errno of the write that failed (EIO when the stream had failed
// in a write made around the console).
int write_flushed(std::ostream* stream, const std::string& text) {
  if (stream == nullptr) return 0;
  if (!*stream) return EIO;
  errno = 0;
  *stream << text;
  stream->flush();
  if (*stream) return 0;
  return errno != 0 ? errno : EIO;
}

}  // namespace

void Console::out(const std::string& text) {
  const int error = write_flushed(out_, text);
  if (out_error_ == 0) out_error_ = error;
}

void Console::err(const std::string& text) {
  (void)write_flushed(err_, text);
}

// The run log's stream flushes every write itself.
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

void Console::err_copy(const std::string& text) {
  if (copy_problems_) err(text);
}

void Console::out_and_err(const std::string& text) {
  out(text);
  err_copy(text);
}

void Console::log_out_and_err(const std::string& text) {
  log_then_out(text);
  err_copy(text);
}

std::string rebuild_hint(const char* limit, long long in_force, long long needed) {
  const std::string value =
      needed > in_force ? format("%lld", needed) : format("N (N above %lld)", in_force);
  return format(
      "Hint: the limit is set when tarvo is built: configure the build with "
      "cmake -DTARVO_%s=%s and build again.\n",
      limit, value.c_str());
}

std::string shown_name(std::string_view name) {
  if (name.size() <= SHOWN_NAME) return std::string(name);
  constexpr std::string_view MORE = "...";
  std::size_t cut = SHOWN_NAME - MORE.size();
  // Not inside a UTF-8 sequence: back to the byte that starts it.
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return std::string(name.substr(0, cut)) + std::string(MORE);
}

void write_header(std::ostream& out, const Header& header, const std::string& file_name) {
  out << header.date << '\n';
  out << "Executable file: " << VERSION << '\n';
  for (const std::string& input : header.inputs) out << "Input data file: " << input << '\n';
  out << "Output     file: " << file_name << "\n\n";
}

}  // namespace tarvo::report
