// One run at a time per output prefix: an advisory lock on <prefix>.lock,
// held for the whole run and released however the run ends (the system
// drops it with the process).
#pragma once

#include <string>

#include "report/report.h"

namespace tarvo::cli {

class RunLock {
 public:
  RunLock() = default;
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;
  ~RunLock() { release(); }

  // Takes the lock, or writes why not and throws Exit{255}.
  void acquire(const std::string& name, report::Console& console);
  // Removes the lock file and drops the lock.
  void release();

 private:
  std::string name_;
  int fd_ = -1;
};

}  // namespace tarvo::cli
