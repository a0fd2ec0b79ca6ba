#include "tests/stats/system/system_call_wrappers.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>

namespace wrapped {
bool poll_fails = false;
int pipe2_fails_at = 0;
bool open_dev_null_fails = false;
bool waitpid_fails = false;
bool sched_getcpu_fails = false;
}  // namespace wrapped

namespace {

int OpenUnlessRefused(int (*real)(const char*, int, ...), const char* path, int flags, int mode) {
  if (wrapped::open_dev_null_fails && std::strcmp(path, "/dev/null") == 0) {
    errno = EMFILE;
    return -1;
  }
  return real(path, flags, mode);
}

}  // namespace

extern "C" {
int __real_ppoll(pollfd* descriptors, nfds_t count, const timespec* timeout, const sigset_t* mask);
int __real_pipe2(int ends[2], int flags);
int __real_open(const char* path, int flags, ...);
int __real_open64(const char* path, int flags, ...);
pid_t __real_waitpid(pid_t child, int* status, int options);
int __real_sched_getcpu();

int __wrap_ppoll(pollfd* descriptors, nfds_t count, const timespec* timeout, const sigset_t* mask) {
  if (wrapped::poll_fails) {
    errno = ENOMEM;
    return -1;
  }
  return __real_ppoll(descriptors, count, timeout, mask);
}

int __wrap_pipe2(int ends[2], int flags) {
  if (wrapped::pipe2_fails_at > 0 && --wrapped::pipe2_fails_at == 0) {
    errno = EMFILE;
    return -1;
  }
  return __real_pipe2(ends, flags);
}

// With large-file support the headers send open to open64, so both are wrapped.
int __wrap_open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const int mode = (flags & O_CREAT) != 0 ? va_arg(arguments, int) : 0;
  va_end(arguments);
  return OpenUnlessRefused(__real_open, path, flags, mode);
}

int __wrap_open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const int mode = (flags & O_CREAT) != 0 ? va_arg(arguments, int) : 0;
  va_end(arguments);
  return OpenUnlessRefused(__real_open64, path, flags, mode);
}

pid_t __wrap_waitpid(pid_t child, int* status, int options) {
  if (wrapped::waitpid_fails) {
    __real_waitpid(child, status, options);
    errno = ECHILD;
    return -1;
  }
  return __real_waitpid(child, status, options);
}

int __wrap_sched_getcpu() {
  if (wrapped::sched_getcpu_fails) {
    errno = ENOSYS;
    return -1;
  }
  return __real_sched_getcpu();
}
}
