// Helpers for tests that run the built program on small inputs.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace e2e {

// Whether this build runs under AddressSanitizer, which reserves far more
// address space at start than any test's memory cap allows.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

namespace fs = std::filesystem;

inline std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void write_file(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

inline fs::path source_path(const std::string& rel) {
  return fs::path(TARVO_SOURCE_DIR) / rel;
}

// A fresh empty folder for one test.
inline fs::path scratch_dir(const std::string& name) {
  fs::path d = fs::temp_directory_path() / ("tarvo_e2e_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(d);
  fs::create_directories(d);
  return d;
}

struct Result {
  int status = -1;
  std::string out, err;
};

// Runs a shell command line in dir with the program on PATH; its status.
inline int run_shell(const fs::path& dir, const std::string& line) {
  const std::string cmd = "cd '" + dir.string() + "' && PATH='" +
                          fs::path(TARVO_EXE).parent_path().string() + "':\"$PATH\" && " + line;
  const int rc = std::system(cmd.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// Runs the program as "tarvo" (found on PATH, so its name in the reports is
// the bare name) with the given arguments inside dir. `setup` comes first in
// the shell command: "ulimit -v N && " or environment assignments.
inline Result run_tarvo(const fs::path& dir, const std::string& args,
                        const std::string& setup = "") {
  Result r;
  r.status = run_shell(dir, setup + "tarvo " + args + " > stdout.out 2> stderr.out");
  r.out = read_file(dir / "stdout.out");
  r.err = read_file(dir / "stderr.out");
  fs::remove(dir / "stdout.out");
  fs::remove(dir / "stderr.out");
  return r;
}

// Starts the program in dir, its standard output thrown away and its
// standard error written to err (thrown away when empty). A cap holds its
// address space to that many bytes and its processor time to 20 seconds.
inline pid_t start_tarvo(const fs::path& dir, const std::vector<std::string>& args,
                         const fs::path& err = {}, rlim_t cap = 0) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  if (cap != 0) {
    const rlimit space{cap, cap}, cpu{20, 20};
    ::setrlimit(RLIMIT_AS, &space);
    ::setrlimit(RLIMIT_CPU, &cpu);
  }
  const int out = ::open("/dev/null", O_WRONLY);
  const int err_fd = err.empty() ? out : ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (::chdir(dir.c_str()) != 0 || ::dup2(out, 1) < 0 || ::dup2(err_fd, 2) < 0) ::_exit(127);
  std::vector<char*> argv{const_cast<char*>("tarvo")};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(TARVO_EXE, argv.data());
  ::_exit(127);
}

// Date and time lines differ from run to run; everything else must not.
inline std::string mask_dates(const std::string& text) {
  static const std::regex date(
      R"(^(Finish time: )?(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 0-9]\d \d\d:\d\d:\d\d \d{4}$)");
  static const std::regex elapse(R"(^Elapse time: .*$)");
  std::istringstream in(text);
  std::string line, out;
  bool first = true;
  while (std::getline(in, line)) {
    if (!first) out += '\n';
    first = false;
    std::smatch m;
    if (std::regex_match(line, m, date))
      out += m[1].matched ? "Finish time: <date>" : "<date>";
    else if (std::regex_match(line, elapse))
      out += "<date>";
    else
      out += line;
  }
  if (!text.empty() && text.back() == '\n') out += '\n';
  return out;
}

}  // namespace e2e
