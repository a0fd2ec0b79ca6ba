#include "stats/system/processes.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "stats/system/linux/child_groups.h"
#include "stats/system/linux/child_start.h"
#include "stats/system/linux/descendants.h"
#include "stats/system/linux/descriptors.h"
#include "stats/system/linux/stop_signals.h"

namespace stats {

namespace {

// Time this process spent stopped by Ctrl-Z counts toward no limit.
int64_t NowMs() { return (MonotonicNs() - StoppedNs()) / 1000000; }

std::string ErrorText(int error) { return std::strerror(error); }

// How long a child asked to stop with SIGTERM may take before SIGKILL.
constexpr int64_t STOP_GRACE_MS = 1000;

// The child's wait status once it has ended, or false after `until` (a time of NowMs; -1: never)
// or, with `failure` set, when the system cannot say how it ended.
bool ReapBy(pid_t child, int64_t until, int& status, std::string& failure) {
  while (true) {
    // Seen ended but not reaped yet, so that its number is forgotten while still its own.
    siginfo_t ended = {};
    if (waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        ended.si_pid == child) {
      ForgetChildGroup(child);
    }
    const pid_t reaped = waitpid(child, &status, WNOHANG);
    if (reaped == child) return true;
    if (reaped < 0 && errno != EINTR) {
      failure = "cannot wait for the child process: " + ErrorText(errno);
      return false;
    }
    if (until >= 0 && NowMs() >= until) return false;
    const timespec pause = {0, 5000000};
    nanosleep(&pause, nullptr);
  }
}

// Reaps the child, first sending `stop_with` if not 0; a child that ignores SIGTERM gets SIGKILL
// after a grace, so that no stop ever waits on a child.
ChildRun Ended(ChildRun run, pid_t child, ChildRun::Outcome outcome, int stop_with) {
  if (stop_with != 0) SignalGroup(child, stop_with);
  int status = 0;
  const int64_t grace = stop_with == SIGKILL || stop_with == 0 ? -1 : NowMs() + STOP_GRACE_MS;
  bool reaped = ReapBy(child, grace, status, run.failure);
  if (!reaped && run.failure.empty()) {
    SignalGroup(child, SIGKILL);
    reaped = ReapBy(child, -1, status, run.failure);
  }
  // Whatever the system says of the wait, nothing the child started is left running; a last
  // wait, which the SIGKILL keeps short, reaps the child if the system lets it.
  if (!reaped) {
    SignalGroup(child, SIGKILL);
    ForgetChildGroup(child);
    waitpid(child, nullptr, 0);
  }
  EndDescendants(child);
  run.outcome = reaped ? outcome : ChildRun::FAILED;
  run.ending = EndingOfStatus(status);
  return run;
}

// Stops and reaps the child after something failed on this side, and says what.
ChildRun Failed(ChildRun run, pid_t child, const std::string& reason) {
  run = Ended(run, child, ChildRun::FAILED, SIGKILL);
  run.outcome = ChildRun::FAILED;
  run.failure = reason;
  return run;
}

}  // namespace

void Descriptor::reset(int fd) {
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
}

ChildRun RunChild(const ChildBody& body, const ChildLimits& limits, const std::string& started,
                  int input) {
  // From the first child on, no process a child starts outlives this one, even one that leaves
  // its child's group.
  static const bool adopting = (AdoptOrphans(), true);
  (void)adopting;
  ChildRun run;
  // Each end is owned at once, so that a later failure closes the pipes made before it.
  Descriptor ends[4][2];
  for (auto& pipe : ends) {
    int made[2];
    if (pipe2(made, O_CLOEXEC) != 0) {
      run.failure = "cannot create a pipe: " + ErrorText(errno);
      return run;
    }
    pipe[0].reset(made[0]);
    pipe[1].reset(made[1]);
  }
  Descriptor &output = ends[0][0], &output_end = ends[0][1];
  Descriptor &errors = ends[1][0], &errors_end = ends[1][1];
  Descriptor &report = ends[2][0], &report_end = ends[2][1];
  Descriptor &setup = ends[3][0], &setup_end = ends[3][1];
  const pid_t parent = getpid();
  // Ctrl-Z waits until the child is remembered, so that it stops too.
  sigset_t job_stops, before_fork;
  sigemptyset(&job_stops);
  for (const int stop : JOB_STOP_SIGNALS) sigaddset(&job_stops, stop);
  sigprocmask(SIG_BLOCK, &job_stops, &before_fork);
  const pid_t child = fork();
  const int fork_error = errno;
  if (child == 0) {
    sigprocmask(SIG_SETMASK, &before_fork, nullptr);
    StartBody(body, limits, input, output_end.get(), errors_end.get(), report_end.get(),
              setup_end.get(), parent);
  }
  if (child > 0) {
    // Made here too, so that the group exists before any signal is sent to it.
    setpgid(child, child);
    RememberChildGroup(child, limits.stopped_ns);
  }
  sigprocmask(SIG_SETMASK, &before_fork, nullptr);
  if (child < 0) {
    run.failure = "cannot start a child process: " + ErrorText(fork_error);
    return run;
  }
  output_end.reset();
  errors_end.reset();
  report_end.reset();
  setup_end.reset();

  // Nothing comes before the exec closes the setup pipe, unless the setup or the exec failed.
  SetupFailure failed;
  ssize_t got;
  while ((got = read(setup.get(), &failed, sizeof failed)) < 0 && errno == EINTR) {
  }
  if (got == static_cast<ssize_t>(sizeof failed)) {
    return Failed(run, child,
                  failed.at_exec ? "cannot start " + started + ": " + ErrorText(failed.error)
                                 : "cannot give the child process /dev/null as input and pipes "
                                   "as output: " +
                                       ErrorText(failed.error));
  }

  pollfd streams[3] = {
      {output.get(), POLLIN, 0}, {errors.get(), POLLIN, 0}, {report.get(), POLLIN, 0}};
  std::string* collected[3] = {&run.output, &run.errors, &run.report};
  const int64_t deadline = limits.time_limit_ms >= 0 ? NowMs() + limits.time_limit_ms : -1;
  int64_t last_asked = NowMs();
  // Whether the child goes on working, asked at most once a second.
  auto went_quiet = [&] {
    if (!limits.still_working || NowMs() - last_asked < 1000) return false;
    last_asked = NowMs();
    return !limits.still_working();
  };
  {
    // The stop signals stay blocked between the check and the wait, and are let in only during
    // the wait itself, so that one arriving in between still ends the wait at once.
    sigset_t stops, open_mask;
    sigemptyset(&stops);
    for (const int stop : STOP_SIGNALS) sigaddset(&stops, stop);
    sigprocmask(SIG_BLOCK, &stops, &open_mask);
    struct MaskBack {
      const sigset_t& mask;
      ~MaskBack() { sigprocmask(SIG_SETMASK, &mask, nullptr); }
    } mask_back{open_mask};
    while (streams[0].fd >= 0 || streams[1].fd >= 0 || streams[2].fd >= 0) {
      if (limits.stops_with_us && StopRequested() != StopRequest::NONE)
        return Ended(run, child, ChildRun::STOPPED, SIGTERM);
      int wait_ms = 1000;
      if (deadline >= 0) {
        const int64_t left = deadline - NowMs();
        if (left <= 0) return Ended(run, child, ChildRun::TIMED_OUT, SIGKILL);
        wait_ms = static_cast<int>(std::min<int64_t>(left, wait_ms));
      }
      if (went_quiet()) return Ended(run, child, ChildRun::WENT_QUIET, SIGKILL);
      const timespec wait = {wait_ms / 1000, (wait_ms % 1000) * 1000000L};
      const int ready = ppoll(streams, 3, &wait, &open_mask);
      if (ready < 0 && errno != EINTR) {
        return Failed(run, child, "cannot wait for the child's output: " + ErrorText(errno));
      }
      if (ready == 0 && limits.waiting) limits.waiting();
      if (ready <= 0) continue;
      for (int stream = 0; stream < 3; ++stream) {
        if (streams[stream].revents == 0) continue;
        // Never more than one byte past the limit: enough to know it was passed.
        const size_t room =
            limits.output_limit - (run.output.size() + run.errors.size() + run.report.size());
        char bytes[4096];
        const ssize_t count =
            read(streams[stream].fd, bytes, room < sizeof bytes ? room + 1 : sizeof bytes);
        if (count > 0) {
          collected[stream]->append(bytes, static_cast<size_t>(count));
          if (static_cast<size_t>(count) > room)
            return Ended(run, child, ChildRun::OVERFLOWED, SIGKILL);
        } else if (count == 0) {
          streams[stream].fd = -1;
        } else if (errno != EINTR) {
          return Failed(run, child, "cannot read the child's output: " + ErrorText(errno));
        }
      }
    }
  }
  // Every stream is closed, but a child may close them and go on: the same limits hold until it
  // ends, and the stop signals are let in, so that a stop ends the short pauses between checks.
  while (true) {
    int status = 0;
    const int64_t soon = NowMs() + 100;
    const int64_t until = deadline >= 0 ? std::min(deadline, soon) : soon;
    if (ReapBy(child, until, status, run.failure)) {
      EndDescendants(child);
      run.outcome = ChildRun::ENDED;
      run.ending = EndingOfStatus(status);
      return run;
    }
    if (!run.failure.empty()) return Failed(run, child, run.failure);
    if (limits.stops_with_us && StopRequested() != StopRequest::NONE)
      return Ended(run, child, ChildRun::STOPPED, SIGTERM);
    if (deadline >= 0 && NowMs() >= deadline)
      return Ended(run, child, ChildRun::TIMED_OUT, SIGKILL);
    if (went_quiet()) return Ended(run, child, ChildRun::WENT_QUIET, SIGKILL);
    if (limits.waiting) limits.waiting();
  }
}

}  // namespace stats
