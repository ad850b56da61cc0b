// The output file set: reports in memory, written, synced and renamed at the
// end of the run with the earlier files kept until every rename succeeded;
// the log written line by line as the run goes.
#include "cli/outputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
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

void output_message(report::Console& console, const std::string& file, int error,
                    const char* action) {
  const std::string text =
      std::strcmp(action, "open") == 0
          ? format("open_files(): Cannot open <%s> for writing: %s\n", file.c_str(),
                   std::strerror(error))
          : format("Cannot %s output file <%s>: %s\n", action, file.c_str(), std::strerror(error));
  console.err(text);
  console.log(text);
}

void output_failed(report::Console& console, const std::string& file, int error,
                   const char* action) {
  output_message(console, file, error, action);
  throw Exit{255};
}

std::string failed_run_line(int status, Replaced replaced) {
  const char* what = replaced == Replaced::None  ? "no report was replaced"
                     : replaced == Replaced::All ? "every report was replaced"
                                                 : "some reports were replaced, see above";
  return format("\n\n******Run failed (exit status %d): %s ******\n", status, what);
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

// The names a file gets on its way: the new text under a temporary name,
// the earlier file under a backup name of the same length, the log under a
// running name shorter than both. Checking the temporary name checks them all.
constexpr const char* TEMPORARY = ".tmp-";
constexpr const char* BACKUP = ".old-";
constexpr const char* RUNNING = ".running";

// A new empty file beside the target; its descriptor, or -1 with errno set.
int make_temporary(const fs::path& target, std::string& name) {
  name = target.string() + TEMPORARY + "XXXXXX";
  return ::mkstemp(name.data());
}

// The backup name of a temporary: unique as the temporary is.
std::string backup_name(const std::string& temporary) {
  const std::size_t cut = temporary.rfind(TEMPORARY);
  return temporary.substr(0, cut) + BACKUP + temporary.substr(cut + std::strlen(TEMPORARY));
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

// 0, or the errno of a failed sync; a file system that cannot sync a folder
// (EINVAL) has nothing to lose by it.
int sync_folder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int error = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  ::close(fd);
  return error;
}

// A synced copy of `from` under the new name `to`, with its mode.
int copy_synced(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  struct stat st {};
  int error = ::fstat(in, &st) == 0 ? 0 : errno;
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0 && error == 0) error = errno;
  char block[1 << 16];
  while (error == 0) {
    const ssize_t n = ::read(in, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) error = errno;
      break;
    }
    error = write_fully(out, block, std::size_t(n));
  }
  if (error == 0 && ::fchmod(out, st.st_mode & 07777) != 0) error = errno;
  if (error == 0 && ::fsync(out) != 0) error = errno;
  if (out >= 0 && ::close(out) != 0 && error == 0) error = errno;
  ::close(in);
  if (error != 0 && out >= 0) ::unlink(to.c_str());
  return error;
}

// The earlier file kept under `backup` until the replacement is over: a hard
// link, or a copy where the file system (or a mount of the single file)
// allows none. 0, or the errno of the failure.
int keep_earlier(const std::string& target, const std::string& backup) {
  if (::link(target.c_str(), backup.c_str()) == 0) return 0;
  const int error = errno;
  if (error != EXDEV && error != EPERM && error != EMLINK && error != ENOTSUP && error != ENOSYS &&
      error != EOPNOTSUPP)
    return error;
  return copy_synced(target, backup);
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

int FdBuffer::sync_to_storage() {
  if (fd_ < 0) return error_;
  drain();
  // A device or a pipe has no storage to sync.
  if (error_ == 0 && ::fsync(fd_) != 0 && errno != EINVAL) error_ = errno;
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
  // Every name is tried with the longest name it will have on the way, so
  // that a name too long for the folder fails now rather than after the
  // analysis.
  for (const std::string& output : outputs) {
    const fs::path target = target_of(output);
    std::error_code ec;
    if (fs::is_directory(target, ec)) output_failed(console, output, EISDIR, "open");
    if (written_in_place(target)) continue;
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

void OutputSet::add_running(const std::string& log, const std::string& running) {
  pending_.push_back(Pending{log, running, target_of(log).string(), {}, true});
}

// The running log is never removed: it is the record of the failed run.
void OutputSet::discard() {
  for (const Pending& p : pending_) {
    if (!p.running && !p.temporary.empty()) ::unlink(p.temporary.c_str());
    if (!p.backup.empty()) ::unlink(p.backup.c_str());
  }
  pending_.clear();
}

void OutputSet::write_all(const std::string& skip, report::Console& console) {
  for (const std::string& name : names_) {
    if (name == skip) continue;
    Pending p{name, {}, target_of(name).string(), {}, false};
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
    if (error == 0 && !in_place && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
      discard();
      output_failed(console, name, error);
    }
  }
}

// Every earlier file gets a second name, then every folder is synced: from
// here on the earlier and the new texts are both on the storage.
void OutputSet::back_up_all(report::Console& console) {
  std::map<fs::path, std::string> folders;  // each with a file named in it
  for (Pending& p : pending_) {
    folders.emplace(folder_of(p.target), p.name);
    struct stat st {};
    // The log is renamed last: when its rename fails, it has replaced nothing.
    if (p.running || ::lstat(p.target.c_str(), &st) != 0) continue;
    const std::string backup = backup_name(p.temporary);
    const int error = keep_earlier(p.target, backup);
    if (error != 0) {
      const std::string name = p.name;
      discard();
      output_failed(console, name, error, "back up");
    }
    p.backup = backup;
  }
  for (const auto& [folder, name] : folders) {
    const int error = sync_folder(folder);
    if (error == 0) continue;
    const std::string file = name;
    discard();
    output_failed(console, file, error);
  }
}

void OutputSet::rename_all(report::Console& console) {
  for (std::size_t k = 0; k < pending_.size(); ++k) {
    if (::rename(pending_[k].temporary.c_str(), pending_[k].target.c_str()) == 0) continue;
    const int error = errno;
    output_message(console, pending_[k].name, error, "replace");
    replaced_ = restore(k, console) ? Replaced::None : Replaced::Some;
    discard();
    throw Exit{255};
  }
  replaced_ = Replaced::All;
  std::set<fs::path> folders;
  for (const Pending& p : pending_) folders.insert(folder_of(p.target));
  // Best effort: every new file is in place, whatever the storage says now.
  for (const fs::path& folder : folders) (void)sync_folder(folder);
  discard();
}

// Puts the earlier files back over the `failed` first ones, already
// replaced; false, with a message for each, when one cannot be.
bool OutputSet::restore(std::size_t failed, report::Console& console) {
  bool whole = true;
  std::set<fs::path> folders;
  for (std::size_t k = failed; k-- > 0;) {
    Pending& p = pending_[k];
    folders.insert(folder_of(p.target));
    const bool put_back = p.backup.empty() ? ::unlink(p.target.c_str()) == 0
                                           : ::rename(p.backup.c_str(), p.target.c_str()) == 0;
    if (put_back) {
      p.backup.clear();
      continue;
    }
    whole = false;
    const std::string why = std::strerror(errno);
    const std::string text =
        p.backup.empty()
            ? format("The new <%s> could not be removed (%s): there was none before\n",
                     p.name.c_str(), why.c_str())
            : format("The earlier <%s> could not be put back (%s): it is kept as <%s>\n",
                     p.name.c_str(), why.c_str(), p.backup.c_str());
    console.err(text);
    console.log(text);
    p.backup.clear();  // kept for the user
  }
  for (const fs::path& folder : folders) (void)sync_folder(folder);
  return whole;
}

void RunLog::go_live(const std::string& name, report::Console& console) {
  if (live()) return;
  name_ = name;
  const fs::path target = target_of(name);
  int fd = -1;
  if (written_in_place(target)) {
    fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) output_failed(console, name, errno, "open");
  } else {
    running_ = target.string() + RUNNING;
    fd = ::open(running_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || ::fchmod(fd, mode_for(target)) != 0)
      output_failed(console, running_, errno, "open");
  }
  buffer_ = std::make_unique<FdBuffer>(fd);
  file_ = std::make_unique<std::ostream>(buffer_.get());
  // Every line reaches the file as it is written: the log is read while the
  // run goes, and is what remains of a run that is stopped.
  file_->setf(std::ios::unitbuf);
  *file_ << early_.str();
  early_ = std::ostringstream();
  console.attach_log(file_.get());
}

void RunLog::check(report::Console& console) {
  if (!live()) return;
  const int error = buffer_->sync_to_storage();
  if (error != 0) {
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

void RunLog::mark_failed(int status, Replaced replaced, report::Console& console) {
  if (!live()) return;
  *file_ << failed_run_line(status, replaced);
  console.attach_log(nullptr);
  file_->flush();
  (void)buffer_->close();
  file_.reset();
  buffer_.reset();
}

}  // namespace tarvo::cli
