#include "stats/system/linux/child_start.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

#include "stats/system/linux/stop_signals.h"

namespace stats {

namespace {

constexpr int ABOVE_STANDARD = 16;

[[noreturn]] void SetupFailed(int setup) {
  const SetupFailure failure{0, errno};
  (void)!write(setup, &failure, sizeof failure);
  _exit(127);
}

}  // namespace

void ExecFailed(int setup) {
  const SetupFailure failure{1, errno};
  (void)!write(setup, &failure, sizeof failure);
  _exit(127);
}

void StartBody(const ChildBody& body, const ChildLimits& limits, int input, int output, int errors,
               int report, int setup, pid_t parent) {
  // Killed with this process whatever ends it; if that already happened, go no further. A group of
  // its own keeps kill(0) and group signals inside, and lets the whole group be ended.
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent || setpgid(0, 0) != 0)
    _exit(127);
  const int high_setup = fcntl(setup, F_DUPFD_CLOEXEC, ABOVE_STANDARD);
  if (high_setup < 0) _exit(127);
  if (input < 0) input = open("/dev/null", O_RDONLY | O_CLOEXEC);
  int moved[4] = {input, output, errors, report};
  for (int& fd : moved) {
    fd = fd < 0 ? -1 : fcntl(fd, F_DUPFD_CLOEXEC, ABOVE_STANDARD);
    if (fd < 0) SetupFailed(high_setup);
  }
  // From above the standard ones, each dup2 makes a new descriptor, open across the exec.
  for (int standard = STDIN_FILENO; standard <= STDERR_FILENO; ++standard) {
    if (dup2(moved[standard], standard) < 0) SetupFailed(high_setup);
  }
  for (const int stop : STOP_SIGNALS) {
    struct sigaction now = {};
    sigaction(stop, nullptr, &now);
    if (now.sa_handler != SIG_IGN) signal(stop, SIG_DFL);
  }
  for (const auto& [resource, bytes] : {std::pair{RLIMIT_FSIZE, limits.file_size_limit},
                                        std::pair{RLIMIT_AS, limits.memory_limit}}) {
    const rlimit limit = {bytes, bytes};
    if (bytes != 0) setrlimit(resource, &limit);
  }
  body(moved[3], high_setup);
  _exit(127);
}

}  // namespace stats
