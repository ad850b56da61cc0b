// The lock file of an output prefix.
#include "cli/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cli/outputs.h"

namespace tarvo::cli {

namespace {

// The lock file may be removed by the run that held it between our open and
// our lock: the lock then holds a file no one else sees. Only a lock on the
// file the name stands for counts.
bool still_named(int fd, const std::string& name) {
  struct stat held {
  }, named{};
  return ::fstat(fd, &held) == 0 && ::stat(name.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

void RunLock::acquire(const std::string& name, report::Console& console) {
  for (;;) {
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) output_failed(console, name, errno, "open");
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(fd);
      if (error == EINTR) continue;
      if (error == EWOULDBLOCK) {
        console.err(report::format(
            "Another run is writing the files of this prefix (it holds <%s>): wait for it to end "
            "or choose another prefix with -d\n",
            name.c_str()));
        throw Exit{255};
      }
      output_failed(console, name, error, "lock");
    }
    if (still_named(fd, name)) {
      name_ = name;
      fd_ = fd;
      return;
    }
    ::close(fd);
  }
}

void RunLock::release() {
  if (fd_ < 0) return;
  // Removed while still held, so that no other run can lock the old file.
  ::unlink(name_.c_str());
  ::close(fd_);
  fd_ = -1;
}

}  // namespace tarvo::cli
