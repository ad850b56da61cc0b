// Preloaded into the program by the fault tests: makes chosen calls fail the
// way a failing storage would, as the environment asks.
//   TARVO_FAIL_RENAME=3,4   the 3rd and 4th rename() fail with EIO
//   TARVO_FAIL_FSYNC=2      the 2nd fsync() fails with EIO
//   TARVO_FAIL_LINK=1       the 1st link() fails with EXDEV (a file of its own mount)
//   TARVO_BREAK_LINK=2      the 2nd link() fails with EIO
//   TARVO_FAIL_UNLINK=_pair.txt
//                           unlink() of a name that ends so fails with EIO
//   TARVO_FAIL_WRITE_TO=_log.txt
//                           every write() to a file whose name ends so fails with ENOSPC
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Whether call number `n` (from 1) is listed in the variable.
bool listed(const char* variable, long n) {
  const char* list = std::getenv(variable);
  if (list == nullptr) return false;
  for (char* end = nullptr; *list != '\0'; list = *end == ',' ? end + 1 : end) {
    if (std::strtol(list, &end, 10) == n) return true;
    if (end == list) return false;
  }
  return false;
}

template <typename F>
F next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

bool names_suffix(int fd, const char* suffix) {
  char link[64], path[4096];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = readlink(link, path, sizeof path - 1);
  if (n < 0) return false;
  path[n] = '\0';
  const std::size_t s = std::strlen(suffix), p = std::size_t(n);
  return p >= s && std::strcmp(path + p - s, suffix) == 0;
}

std::atomic<long> renames{0}, fsyncs{0}, links{0};

}  // namespace

extern "C" {

int rename(const char* from, const char* to) {
  if (listed("TARVO_FAIL_RENAME", ++renames)) {
    errno = EIO;
    return -1;
  }
  return next<int (*)(const char*, const char*)>("rename")(from, to);
}

int fsync(int fd) {
  if (listed("TARVO_FAIL_FSYNC", ++fsyncs)) {
    errno = EIO;
    return -1;
  }
  return next<int (*)(int)>("fsync")(fd);
}

int link(const char* from, const char* to) {
  const long n = ++links;
  if (listed("TARVO_FAIL_LINK", n) || listed("TARVO_BREAK_LINK", n)) {
    errno = listed("TARVO_FAIL_LINK", n) ? EXDEV : EIO;
    return -1;
  }
  return next<int (*)(const char*, const char*)>("link")(from, to);
}

int unlink(const char* name) {
  const char* suffix = std::getenv("TARVO_FAIL_UNLINK");
  const std::size_t s = suffix ? std::strlen(suffix) : 0, p = std::strlen(name);
  if (suffix != nullptr && p >= s && std::strcmp(name + p - s, suffix) == 0) {
    errno = EIO;
    return -1;
  }
  return next<int (*)(const char*)>("unlink")(name);
}

ssize_t write(int fd, const void* data, size_t size) {
  const char* suffix = std::getenv("TARVO_FAIL_WRITE_TO");
  if (suffix != nullptr && names_suffix(fd, suffix)) {
    errno = ENOSPC;
    return -1;
  }
  return next<ssize_t (*)(int, const void*, size_t)>("write")(fd, data, size);
}

}  // extern "C"
