#include "stats/system/stop_requests.h"

#include <signal.h>

#include "stats/system/linux/child_groups.h"
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
  InstallJobStopHandlers();
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
      return 1;  // no stop was asked: a failure, never success
  }
}

}  // namespace stats
