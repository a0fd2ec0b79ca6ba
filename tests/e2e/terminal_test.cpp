// The real program on a pseudo-terminal, as a person runs it: keys, Ctrl-C and the terminal's mode.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/e2e/child_process.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using std::chrono::steady_clock;

const char PROMPT[] = "Press any key to continue ...";
// Long enough that the program has certainly left the prompt's write and is waiting for the key.
constexpr milliseconds SETTLE(300);

struct TerminalRun {
  int master = -1;
  int slave = -1;
  pid_t pid = -1;
  termios mode_before{};
  std::string output;
};

TerminalRun StartOnTerminal() {
  TerminalRun run;
  if (openpty(&run.master, &run.slave, nullptr, nullptr, nullptr) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    return run;
  }
  tcgetattr(run.slave, &run.mode_before);
  run.pid = fork();
  if (run.pid == 0) {
    setsid();
    ioctl(run.slave, TIOCSCTTY, 0);
    dup2(run.slave, STDIN_FILENO);
    dup2(run.slave, STDOUT_FILENO);
    dup2(run.slave, STDERR_FILENO);
    close(run.master);
    close(run.slave);
    Exec(QuickBenchmark());
  }
  return run;
}

// Collects the terminal's output until `text` appears; false if it does not within `limit`.
bool ReadUntil(TerminalRun& run, const std::string& text, seconds limit) {
  const auto deadline = steady_clock::now() + limit;
  while (run.output.find(text) == std::string::npos) {
    if (steady_clock::now() > deadline) return false;
    pollfd terminal = {run.master, POLLIN, 0};
    if (poll(&terminal, 1, 100) <= 0) continue;
    char bytes[256];
    const ssize_t count = read(run.master, bytes, sizeof bytes);
    if (count <= 0) return false;
    run.output.append(bytes, static_cast<size_t>(count));
  }
  return true;
}

void Type(const TerminalRun& run, const std::string& keys) {
  ASSERT_EQ(write(run.master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
}

bool StillRunning(pid_t pid) {
  int status;
  return waitpid(pid, &status, WNOHANG) == 0;
}

void ExpectModeRestored(const TerminalRun& run) {
  termios after;
  ASSERT_EQ(tcgetattr(run.slave, &after), 0);
  EXPECT_EQ(after.c_iflag, run.mode_before.c_iflag);
  EXPECT_EQ(after.c_oflag, run.mode_before.c_oflag);
  EXPECT_EQ(after.c_cflag, run.mode_before.c_cflag);
  EXPECT_EQ(after.c_lflag, run.mode_before.c_lflag) << "local modes (echo, canonical) differ";
  for (int i = 0; i < NCCS; ++i) EXPECT_EQ(after.c_cc[i], run.mode_before.c_cc[i]) << "c_cc " << i;
}

// Reads what the shell would read next, without waiting for a line end.
std::string InputLeftForTheShell(const TerminalRun& run) {
  termios peek;
  tcgetattr(run.slave, &peek);
  peek.c_lflag &= ~static_cast<tcflag_t>(ICANON);
  peek.c_cc[VMIN] = 0;
  peek.c_cc[VTIME] = 0;
  tcsetattr(run.slave, TCSANOW, &peek);
  char bytes[64];
  const ssize_t count = read(run.slave, bytes, sizeof bytes);
  return count > 0 ? std::string(bytes, static_cast<size_t>(count)) : "";
}

void Close(TerminalRun& run) {
  close(run.master);
  close(run.slave);
}

TEST(OnATerminal, OnlyAKeyAfterThePromptEndsTheWaitAndAnArrowKeyLeavesNothingBehind) {
  TerminalRun run = StartOnTerminal();
  ASSERT_TRUE(ReadUntil(run, "empty procedure timing", seconds(60)));
  Type(run, "x");
  ASSERT_TRUE(ReadUntil(run, PROMPT, seconds(120))) << run.output;
  std::this_thread::sleep_for(SETTLE);
  EXPECT_TRUE(StillRunning(run.pid)) << "the key typed during the run ended the wait";

  Type(run, "\x1b[A");
  const int status = WaitOrKill(run.pid, seconds(10));
  ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ExpectModeRestored(run);
  EXPECT_EQ(InputLeftForTheShell(run), "") << "bytes of the key were left for the shell";
  Close(run);
}

TEST(OnATerminal, CtrlCSigtermOrSighupAtThePromptEndsTheProgramByThatSignalAndRestoresTheMode) {
  for (const int stop : {SIGINT, SIGTERM, SIGHUP}) {
    TerminalRun run = StartOnTerminal();
    ASSERT_TRUE(ReadUntil(run, PROMPT, seconds(120))) << run.output;
    std::this_thread::sleep_for(SETTLE);
    if (stop == SIGINT) {
      Type(run, "\x03");
    } else {
      kill(run.pid, stop);
    }
    const int status = WaitOrKill(run.pid, seconds(10));
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), stop);
    ExpectModeRestored(run);
    Close(run);
  }
}

}  // namespace
