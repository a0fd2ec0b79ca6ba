#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "stats/system/linux/child_start.h"
#include "stats/system/linux/descriptors.h"
#include "stats/system/linux/stop_signals.h"

namespace stats {

namespace {

volatile sig_atomic_t stop_signal = 0;

void RecordStop(int signal_number) { stop_signal = signal_number; }

}  // namespace

void InstallStopHandlers() {
  struct sigaction action = {};
  action.sa_handler = RecordStop;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a stop must interrupt a wait for a child's output.
  for (const int stop : STOP_SIGNALS) {
    struct sigaction before = {};
    sigaction(stop, nullptr, &before);
    // Started with nohup, it goes on when the terminal closes.
    if (stop == SIGHUP && before.sa_handler == SIG_IGN) continue;
    sigaction(stop, &action, nullptr);
  }
}

StopRequest StopRequested() {
  switch (stop_signal) {
    case SIGINT:
      return StopRequest::INTERRUPT;
    case SIGTERM:
      return StopRequest::TERMINATE;
    case SIGHUP:
      return StopRequest::HANG_UP;
    default:
      return StopRequest::NONE;
  }
}

int ExitCodeOf(StopRequest stop) {
  switch (stop) {
    case StopRequest::INTERRUPT:
      return 128 + SIGINT;
    case StopRequest::TERMINATE:
      return 128 + SIGTERM;
    case StopRequest::HANG_UP:
      return 128 + SIGHUP;
    default:
      return 0;
  }
}

ChildEnding EndingOfStatus(int status) {
  ChildEnding ending;
  if (WIFEXITED(status)) {
    ending.exit_code = WEXITSTATUS(status);
    ending.words = "exited with status " + std::to_string(ending.exit_code);
  } else if (WIFSIGNALED(status)) {
    ending.fault = DescribeSignal(WTERMSIG(status));
    ending.past_file_size = WTERMSIG(status) == SIGXFSZ;
    ending.words = "was killed by " + ending.fault;
  } else {
    ending.fault = "wait status " + std::to_string(status);
    ending.words = "ended with " + ending.fault;
  }
  return ending;
}

bool Succeeded(const ChildRun& run) {
  return run.outcome == ChildRun::ENDED && run.ending.exit_code == 0;
}

std::string DescribeSignal(int signal) {
  const char* name = sigabbrev_np(signal);
  return (name != nullptr ? "SIG" + std::string(name) : "signal " + std::to_string(signal)) + " (" +
         strsignal(signal) + ")";
}

void ReportBytes(ReportChannel channel, const void* bytes, size_t length) {
  (void)!write(static_cast<int>(channel.handle()), bytes, length);
}

bool ReportAll(ReportChannel channel, const std::string& bytes) {
  return WriteAll(static_cast<int>(channel.handle()), bytes) == 0;
}

void SayOnStandardError(const std::string& line) {
  (void)!write(STDERR_FILENO, line.data(), line.size());
}

void ExitAtOnce(int code) { _exit(code); }

}  // namespace stats
