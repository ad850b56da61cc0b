// The output file set: reports in memory, written and renamed at the end of
// the run; the log written as the run goes.
#include "cli/outputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>

#include "tarvo/limits.h"

namespace tarvo::cli {

namespace fs = std::filesystem;
using report::format;

std::string date_line() {
  const std::time_t now = std::time(nullptr);
  return std::asctime(std::localtime(&now));
}

report::Header header_now(const Options& options) {
  report::Header header{date_line(), {}};
  for (const Setting<std::string>* file : {&options.genotype_file, &options.frequency_file})
    if (file->given) header.inputs.push_back(file->value);
  return header;
}

void output_failed(report::Console& console, const std::string& file, int error,
                   const char* action) {
  const std::string text =
      std::strcmp(action, "open") == 0
          ? format("open_files(): Cannot open <%s> for writing: %s\n", file.c_str(),
                   std::strerror(error))
          : format("Cannot %s output file <%s>: %s\n", action, file.c_str(), std::strerror(error));
  console.err(text);
  console.log(text);
  throw Exit{255};
}

namespace {

// 0, or the errno of the failure.
int write_fully(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= std::size_t(n);
  }
  return 0;
}

// The file a name stands for: links followed, so that a link keeps pointing
// at the new text. A dangling link stays as named and is replaced.
fs::path target_of(const std::string& name) {
  std::error_code ec;
  if (fs::is_symlink(name, ec)) {
    fs::path target = fs::canonical(name, ec);
    if (!ec) return target;
  }
  return name;
}

fs::path folder_of(const fs::path& file) {
  const fs::path folder = file.parent_path();
  return folder.empty() ? fs::path(".") : folder;
}

// A new empty file beside the target; its descriptor, or -1 with errno set.
int make_temporary(const fs::path& target, std::string& name) {
  name = (folder_of(target) / (target.filename().string() + ".tmp-XXXXXX")).string();
  return ::mkstemp(name.data());
}

// The mode a file written in place of `target` gets: its own, or what a new
// file gets under the umask.
mode_t mode_for(const fs::path& target) {
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Devices and pipes cannot be replaced: they are written in place.
bool written_in_place(const fs::path& target) {
  std::error_code ec;
  const fs::file_status status = fs::status(target, ec);
  return !ec && fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status);
}

}  // namespace

FdBuffer::~FdBuffer() {
  if (fd_ >= 0) (void)close();
}

void FdBuffer::drain() {
  const std::size_t size = std::size_t(pptr() - pbase());
  if (size > 0 && error_ == 0) error_ = write_fully(fd_, pbase(), size);
  setp(buffer_, buffer_ + sizeof buffer_);
}

int FdBuffer::overflow(int c) {
  drain();
  if (c != traits_type::eof()) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return error_ == 0 ? traits_type::not_eof(c) : traits_type::eof();
}

int FdBuffer::sync() {
  drain();
  return error_ == 0 ? 0 : -1;
}

int FdBuffer::close() {
  if (fd_ < 0) return error_;
  drain();
  if (::close(fd_) != 0 && error_ == 0) error_ = errno;
  fd_ = -1;
  return error_;
}

void check_outputs(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs,
                   report::Console& console) {
  for (const std::string& output : outputs) {
    for (const std::string& input : inputs) {
      std::error_code ec;
      if (!fs::equivalent(output, input, ec) || ec) continue;
      console.err(format("Output file <%s> is the input file <%s>: choose another prefix with -d\n",
                         output.c_str(), input.c_str()));
      throw Exit{1};
    }
  }
  std::set<fs::path> probed;
  for (const std::string& output : outputs) {
    const fs::path target = target_of(output);
    std::error_code ec;
    if (fs::is_directory(target, ec)) output_failed(console, output, EISDIR, "open");
    if (written_in_place(target) || !probed.insert(folder_of(target)).second) continue;
    std::string probe;
    const int fd = make_temporary(target, probe);
    if (fd < 0) output_failed(console, output, errno, "open");
    ::close(fd);
    ::unlink(probe.c_str());
  }
}

void OutputSet::declare(const std::string& name) {
  if (texts_.count(name) == 0) names_.push_back(name);
  (void)texts_[name];
}

std::ostream& OutputSet::text(const std::string& name) {
  declare(name);
  return texts_[name];
}

std::ostream& OutputSet::restart(const std::string& name) {
  declare(name);
  texts_[name] = std::ostringstream();
  return texts_[name];
}

void OutputSet::discard() {
  for (const Pending& p : pending_)
    if (!p.temporary.empty()) ::unlink(p.temporary.c_str());
  pending_.clear();
}

void OutputSet::write_all(const std::string& skip, report::Console& console) {
  for (const std::string& name : names_) {
    if (name == skip) continue;
    Pending p{name, {}, target_of(name).string()};
    const bool in_place = written_in_place(p.target);
    const int fd = in_place ? ::open(p.target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC)
                            : make_temporary(p.target, p.temporary);
    if (fd < 0) {
      const int error = errno;
      discard();
      output_failed(console, name, error);
    }
    if (!in_place) pending_.push_back(p);
    const std::string text = texts_[name].str();
    int error = write_fully(fd, text.data(), text.size());
    if (error == 0 && !in_place && ::fchmod(fd, mode_for(p.target)) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
      discard();
      output_failed(console, name, error);
    }
  }
}

void OutputSet::rename_all(report::Console& console) {
  for (std::size_t k = 0; k < pending_.size(); ++k) {
    const Pending& p = pending_[k];
    if (::rename(p.temporary.c_str(), p.target.c_str()) == 0) continue;
    const int error = errno;
    for (std::size_t rest = k; rest < pending_.size(); ++rest)
      ::unlink(pending_[rest].temporary.c_str());
    pending_.clear();
    output_failed(console, p.name, error);
  }
  pending_.clear();
}

void RunLog::go_live(const std::string& name, report::Console& console) {
  if (live()) return;
  name_ = name;
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) output_failed(console, name, errno, "open");
  buffer_ = std::make_unique<FdBuffer>(fd);
  file_ = std::make_unique<std::ostream>(buffer_.get());
  *file_ << early_.str();
  early_ = std::ostringstream();
  console.attach_log(file_.get());
}

void RunLog::check(report::Console& console) {
  if (!live()) return;
  file_->flush();
  if (buffer_->error() != 0) {
    const int error = buffer_->error();
    console.attach_log(nullptr);
    output_failed(console, name_, error);
  }
}

void RunLog::close(report::Console& console) {
  if (!live()) return;
  console.attach_log(nullptr);
  file_->flush();
  const int error = buffer_->close();
  file_.reset();
  buffer_.reset();
  if (error != 0) output_failed(console, name_, error);
}

void RunLog::mark_failed(int status, report::Console& console) {
  if (!live()) return;
  *file_ << format("\n\n******Run failed (exit status %d): no report was replaced ******\n",
                   status);
  console.attach_log(nullptr);
  file_->flush();
  (void)buffer_->close();
  file_.reset();
  buffer_.reset();
}

}  // namespace tarvo::cli
