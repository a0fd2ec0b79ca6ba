// The platform layer on Linux and other POSIX systems.
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"
// The one call upward: the process entry hands the process to the shell layer.
#include "shell/shell.h"

namespace {

constexpr int HIGH_NICE = -10;
constexpr int NORMAL_NICE = 0;
// A multi-byte key (an arrow key is ESC [ A) arrives in one burst; this is how long we wait for
// the rest of it, so that none of it is left for the shell.
constexpr int KEY_TAIL_MS = 5;
constexpr int RESTORING_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int RESTORING_SIGNAL_COUNT = sizeof RESTORING_SIGNALS / sizeof RESTORING_SIGNALS[0];

// The key wait changes the terminal's mode; a signal handler must be able to put it back.
termios saved_terminal_mode;
volatile sig_atomic_t terminal_mode_changed = 0;
struct sigaction saved_signal_actions[RESTORING_SIGNAL_COUNT];

// errno of the first write of the report that failed, other than the reader having gone (EPIPE).
int lost_output_error = 0;

void RestoreTerminalMode() {
  if (terminal_mode_changed) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_terminal_mode);
    terminal_mode_changed = 0;
  }
}

// Puts the terminal back, then lets the signal end the process as it would have without us.
void RestoreTerminalAndResignal(int signal_number) {
  RestoreTerminalMode();
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void InstallRestoringHandlers() {
  for (int i = 0; i < RESTORING_SIGNAL_COUNT; ++i) {
    sigaction(RESTORING_SIGNALS[i], nullptr, &saved_signal_actions[i]);
    // A signal the caller ignores (nohup, a background job) must stay ignored.
    if (saved_signal_actions[i].sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = RestoreTerminalAndResignal;
    sigemptyset(&action.sa_mask);
    sigaction(RESTORING_SIGNALS[i], &action, nullptr);
  }
}

void RemoveRestoringHandlers() {
  for (int i = 0; i < RESTORING_SIGNAL_COUNT; ++i) {
    sigaction(RESTORING_SIGNALS[i], &saved_signal_actions[i], nullptr);
  }
}

short InputEvents(int timeout_ms) {
  pollfd input = {STDIN_FILENO, POLLIN, 0};
  return poll(&input, 1, timeout_ms) > 0 ? input.revents : 0;
}

void WaitUntilWritable() {
  pollfd output = {STDOUT_FILENO, POLLOUT, 0};
  poll(&output, 1, -1);
}

void WriteToStandardError(const char* text) {
  size_t length = std::strlen(text);
  while (length > 0) {
    const ssize_t count = write(STDERR_FILENO, text, length);
    if (count > 0) {
      text += count;
      length -= static_cast<size_t>(count);
    } else if (count < 0 && errno != EINTR) {
      return;
    }
  }
}

}  // namespace

uint32_t PlatformTickCount() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t milliseconds =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(milliseconds);
}

// Raising needs privileges; a refusal leaves the run at the priority it has.
void PlatformRaisePriority() { setpriority(PRIO_PROCESS, 0, HIGH_NICE); }

void PlatformNormalPriority() { setpriority(PRIO_PROCESS, 0, NORMAL_NICE); }

void PlatformPause(uint32_t milliseconds) {
  timespec remaining = {static_cast<time_t>(milliseconds / 1000),
                        static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

void PlatformSleep(uint32_t milliseconds) {
  const timespec duration = {static_cast<time_t>(milliseconds / 1000),
                             static_cast<long>(milliseconds % 1000) * 1000000L};
  nanosleep(&duration, nullptr);
}

// Every byte goes out unless the output is really gone (a closed pipe, a full disk): then the
// rest is dropped and the run goes on; all but a closed pipe is remembered for the exit code.
uint32_t PlatformWriteOutput(const char* bytes, uint32_t length) {
  uint32_t written = 0;
  while (written < length) {
    const ssize_t count = write(STDOUT_FILENO, bytes + written, length - written);
    if (count > 0) {
      written += static_cast<uint32_t>(count);
    } else if (count < 0 && errno == EINTR) {
      continue;
    } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      WaitUntilWritable();
    } else {
      if (count < 0 && errno != EPIPE && lost_output_error == 0) lost_output_error = errno;
      break;
    }
  }
  return written;
}

bool PlatformReportLostOutput() {
  if (lost_output_error == 0) return false;
  WriteToStandardError("absbench: the report could not be written: ");
  WriteToStandardError(std::strerror(lost_output_error));
  WriteToStandardError("\n");
  return true;
}

void PlatformBeginKeyWait() {
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_terminal_mode) != 0) return;
  InstallRestoringHandlers();
  termios key_mode = saved_terminal_mode;
  // ISIG stays on so that Ctrl-C still ends the program.
  key_mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  key_mode.c_cc[VMIN] = 1;
  key_mode.c_cc[VTIME] = 0;
  terminal_mode_changed = 1;
  // TCSAFLUSH discards every key typed while the benchmark ran.
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &key_mode);
}

// On a terminal a key waits when input is readable. Any other input that is readable, at its
// end, or not open at all can never deliver a key later, so it ends the wait at once.
bool PlatformKeyWaiting() { return InputEvents(0) != 0; }

void PlatformTakeKey() {
  char key[32];
  if (terminal_mode_changed) {
    if (read(STDIN_FILENO, key, sizeof key) > 0) {
      while ((InputEvents(KEY_TAIL_MS) & POLLIN) != 0 && read(STDIN_FILENO, key, sizeof key) > 0) {
      }
    }
    RestoreTerminalMode();
    RemoveRestoringHandlers();
  } else if ((InputEvents(0) & POLLIN) != 0) {
    read(STDIN_FILENO, key, 1);
  }
}

void PlatformExitProcess(uint32_t exit_code) { _exit(static_cast<int>(exit_code)); }

// A reader that closes the pipe early must not kill the run.
int main() {
  signal(SIGPIPE, SIG_IGN);
  ProgramEntry();
}
