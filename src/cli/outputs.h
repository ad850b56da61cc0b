// The output files of a run. Reports are kept in memory and written when the
// run completes, each under a temporary name in its own folder, synced, and
// renamed over its name only once every report has been written; the earlier
// files are kept under backup names until every rename has succeeded and put
// back if one fails. The log is written as the run goes, from the moment its
// inputs have been read and checked, under a running name beside its own,
// and renamed last of all.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "report/report.h"

namespace tarvo::cli {

// The numbered outputs (-o1 .. -o9) are named by the prefix and these.
inline constexpr std::array<std::string_view, OUTPUTS> REPORT_SUFFIXES = {
    "_freq.txt", "_miss.txt", "_pair.txt", "_pop.txt", "_stat.txt",
    "_simm.txt", "_join.txt", "_loci.txt", "_log.txt"};

// The program path and the output names had buffers of this size in the
// first versions; their limits stay: a prefix leaves room for the longest
// report suffix and a terminator.
inline constexpr int NAME_BUFFER = 8192;
inline constexpr std::size_t MAX_PREFIX =
    NAME_BUFFER - 1 - std::ranges::max(REPORT_SUFFIXES, {}, &std::string_view::size).size();

// The files named by the prefix and a suffix besides the numbered outputs:
// the panel power, and the tables and plot written next to the reports.
inline constexpr const char* LOCI_POWER_SUFFIX = "_loci_power.tsv";
struct TableSuffixes {
  const char* pairs = "_pairs.tsv";
  const char* individuals = "_individuals.tsv";
  const char* levels = "_levels.tsv";
  const char* populations = "_populations.tsv";
  const char* plot = "_levels.svg";
  const char* groups = "_groups.tsv";
  const char* summary = "_summary.tsv";
  const char* page = "_report.html";
};
inline constexpr TableSuffixes TABLE_FILES{};

// The current time in asctime's layout (ends in a newline).
[[nodiscard]] std::string date_line();

// The header of a report file written now.
[[nodiscard]] report::Header header_now(const Options& options);

// Writes the message naming the file and the system's reason (an errno
// value) to standard error and the log.
void output_message(report::Console& console, const std::string& file, int error,
                    const char* action = "write");
// The same, then throws Exit{255}.
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
  // Flushes and syncs to the storage; the first error, 0 when none.
  [[nodiscard]] int sync_to_storage();
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
// files (status 1), a folder, or one whose name or any name the run gives it
// on the way (temporary, backup, running log) cannot be made (status 255).
void check_outputs(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs,
                   report::Console& console);

// How far the earlier files were replaced when a run ends.
enum class Replaced { None, Some, All };

// The last line of the log of a failed run, and what standard error adds
// when reports were replaced.
[[nodiscard]] std::string failed_run_line(int status, Replaced replaced);

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

  // Writes and syncs every file but the log under a temporary name, runs
  // `before_rename` (which may throw), keeps the earlier files under backup
  // names, syncs the folders, then renames them all, the log's running file
  // (`running`, empty when the log is written in place) last. A failure
  // names the file, puts back what was replaced, removes the temporary files
  // (never the running log) and throws Exit{255}.
  template <typename F>
  void commit(const std::string& log, const std::string& running, report::Console& console,
              F before_rename) {
    write_all(log, console);
    if (!running.empty()) add_running(log, running);
    try {
      before_rename();
    } catch (...) {
      discard();
      throw;
    }
    back_up_all(console);
    rename_all(console);
  }
  [[nodiscard]] Replaced replaced() const { return replaced_; }

 private:
  struct Pending {
    std::string name;       // as the user knows it
    std::string temporary;  // the new text
    std::string target;     // the name with links followed
    std::string backup;     // the earlier file, when there was one
    bool running = false;   // the log, written as the run went
  };
  void add_running(const std::string& log, const std::string& running);
  void write_all(const std::string& skip, report::Console& console);
  void back_up_all(report::Console& console);
  void rename_all(report::Console& console);
  [[nodiscard]] bool restore(std::size_t failed, report::Console& console);
  void discard();

  std::vector<std::string> names_;
  std::map<std::string, std::ostringstream> texts_;
  std::vector<Pending> pending_;
  Replaced replaced_ = Replaced::None;
};

// The run log: held in memory until go_live() opens the file, then written
// to it line by line as the run goes, under a running name
// (`<log>.running` beside the file the name stands for) until the reports
// replace the earlier ones; a device is written in place.
class RunLog {
 public:
  [[nodiscard]] std::ostream& early() { return early_; }
  [[nodiscard]] bool live() const { return file_ != nullptr; }
  // The name the log is written under until it is renamed; empty when
  // written in place or not live.
  [[nodiscard]] const std::string& running() const { return running_; }
  // Opens the running file (truncating it), writes what was held and
  // attaches the file to the console; nothing once live. Throws Exit{255}
  // when it cannot be opened.
  void go_live(const std::string& name, report::Console& console);
  // Flushes and syncs the file; throws Exit{255} when a write has failed.
  void check(report::Console& console);
  // Flushes and closes the file. Throws Exit{255} on a failure.
  void close(report::Console& console);
  // The end of a failed run, best effort: the log cannot report its own
  // failure.
  void mark_failed(int status, Replaced replaced, report::Console& console);

 private:
  std::string name_;
  std::string running_;
  std::ostringstream early_;
  std::unique_ptr<FdBuffer> buffer_;
  std::unique_ptr<std::ostream> file_;
};

}  // namespace tarvo::cli
