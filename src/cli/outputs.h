// The output files of a run. Reports are kept in memory and written when the
// run completes, each under a temporary name in its own folder and renamed
// over its name only once every report has been written: a run that fails
// leaves the files of an earlier run as they were. The log alone is written
// as the run goes, from the moment its inputs have been read and checked.
#pragma once

#include <map>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/options.h"
#include "report/report.h"

namespace tarvo::cli {

// The current time in asctime's layout (ends in a newline).
[[nodiscard]] std::string date_line();

// The header of a report file written now.
[[nodiscard]] report::Header header_now(const Options& options);

// Writes the message naming the file and the system's reason (an errno
// value) to standard error and the log, and throws Exit{255}.
[[noreturn]] void output_failed(report::Console& console, const std::string& file, int error,
                                const char* action = "write");

// A stream buffer over a file descriptor that keeps the first write error.
class FdBuffer : public std::streambuf {
 public:
  explicit FdBuffer(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }
  FdBuffer(const FdBuffer&) = delete;
  FdBuffer& operator=(const FdBuffer&) = delete;
  ~FdBuffer() override;
  // Flushes and closes; the first error of the file's life, 0 when none.
  [[nodiscard]] int close();
  [[nodiscard]] int error() const { return error_; }

 protected:
  int overflow(int c) override;
  int sync() override;

 private:
  void drain();
  int fd_;
  int error_ = 0;
  char buffer_[1 << 16];
};

// Refuses, before anything is written, an output that is one of the input
// files (status 1), a folder, or in a folder where no file can be made
// (status 255).
void check_outputs(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs,
                   report::Console& console);

class OutputSet {
 public:
  // A file the run will write; every name is declared before the run starts,
  // so that check() can see them all.
  void declare(const std::string& name);
  [[nodiscard]] const std::vector<std::string>& names() const { return names_; }

  // The text of a declared file so far.
  [[nodiscard]] std::ostream& text(const std::string& name);
  // The text of a declared file, started again.
  [[nodiscard]] std::ostream& restart(const std::string& name);

  // Writes every file but the one named `skip` (the log) under a temporary
  // name, runs `before_rename` (which may throw), then renames them all.
  // A failure names the file, removes the temporary files and throws
  // Exit{255}.
  template <typename F>
  void commit(const std::string& skip, report::Console& console, F before_rename) {
    write_all(skip, console);
    try {
      before_rename();
    } catch (...) {
      discard();
      throw;
    }
    rename_all(console);
  }

 private:
  struct Pending {
    std::string name;  // as the user knows it
    std::string temporary;
    std::string target;  // the name with links followed
  };
  void write_all(const std::string& skip, report::Console& console);
  void rename_all(report::Console& console);
  void discard();

  std::vector<std::string> names_;
  std::map<std::string, std::ostringstream> texts_;
  std::vector<Pending> pending_;
};

// The run log: held in memory until go_live() opens the file, then written
// to it as the run goes.
class RunLog {
 public:
  [[nodiscard]] std::ostream& early() { return early_; }
  [[nodiscard]] bool live() const { return file_ != nullptr; }
  // Opens the file (truncating it), writes what was held and attaches the
  // file to the console; nothing once live. Throws Exit{255} when it cannot
  // be opened.
  void go_live(const std::string& name, report::Console& console);
  // Throws Exit{255} when a write to the log has failed.
  void check(report::Console& console);
  // Flushes and closes the file. Throws Exit{255} on a failure.
  void close(report::Console& console);
  // The end of a failed run, best effort: the log cannot report its own
  // failure.
  void mark_failed(int status, report::Console& console);

 private:
  std::string name_;
  std::ostringstream early_;
  std::unique_ptr<FdBuffer> buffer_;
  std::unique_ptr<std::ostream> file_;
};

}  // namespace tarvo::cli
