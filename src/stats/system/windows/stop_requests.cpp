#include "stats/system/stop_requests.h"

#include <atomic>

#include "stats/system/windows/handles.h"

namespace stats {

namespace {

std::atomic<StopRequest> stop_request{StopRequest::NONE};

// Runs on a thread of its own that the console starts. Ctrl-C asks to stop, as on Linux;
// Ctrl-Break is what scripts and services send to end a console program, as SIGTERM is; a console
// closed is a terminal closed.
BOOL WINAPI RecordStop(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      stop_request = StopRequest::INTERRUPT;
      return TRUE;
    case CTRL_BREAK_EVENT:
      stop_request = StopRequest::TERMINATE;
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      stop_request = event == CTRL_CLOSE_EVENT ? StopRequest::HANG_UP : StopRequest::TERMINATE;
      // The system ends the process when this returns: it waits instead, for the main thread to
      // end the children and exit, within the few seconds the system allows.
      Sleep(INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void InstallStopHandlers() { SetConsoleCtrlHandler(RecordStop, TRUE); }

StopRequest StopRequested() { return stop_request; }

int ExitCodeOf(StopRequest stop) {
  // The codes a Linux shell reads for the same stops, so that a script sees one meaning on both.
  switch (stop) {
    case StopRequest::INTERRUPT:
      return 130;
    case StopRequest::TERMINATE:
      return 143;
    case StopRequest::HANG_UP:
      return 129;
    default:
      return 1;  // no stop was asked: a failure, never success
  }
}

// A Windows console has no Ctrl-Z that stops a program: no time is ever spent stopped.
double StoppedSeconds() { return 0; }

// The performance counter, which never steps back and is not moved by a change of the clock.
double RunningSeconds() {
  static const double ticks_per_second = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / ticks_per_second;
}

}  // namespace stats
