#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "stats/system/linux/stop_signals.h"
#include "stats/system/processes.h"

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

int StopSignal() { return stop_signal; }

std::string DescribeWaitStatus(int status) {
  if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) {
    return "was killed by " + DescribeSignal(WTERMSIG(status));
  }
  return "ended with wait status " + std::to_string(status);
}

Ending EndingOf(int status) {
  Ending ending;
  if (WIFEXITED(status)) ending.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) ending.signal = WTERMSIG(status);
  return ending;
}

bool Succeeded(const ChildRun& run) {
  return run.outcome == ChildRun::ENDED && EndingOf(run.status).exit_code == 0;
}

std::string DescribeSignal(int signal) {
  const char* name = sigabbrev_np(signal);
  return (name != nullptr ? "SIG" + std::string(name) : "signal " + std::to_string(signal)) + " (" +
         strsignal(signal) + ")";
}

int FileSizeSignal() { return SIGXFSZ; }

void WriteAtOnce(int fd, const void* bytes, size_t length) { (void)!write(fd, bytes, length); }

void ExitAtOnce(int code) { _exit(code); }

}  // namespace stats
