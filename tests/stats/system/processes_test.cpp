// The one child-process helper: what it collects, and what it does when the system fails it.
#include "stats/system/processes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/stats/system/system_call_wrappers.h"

namespace {

void Say(int fd, const char* text) { (void)!write(fd, text, std::strlen(text)); }

TEST(RunChild, CollectsOutputErrorsReportAndExitStatus) {
  const stats::ChildRun run = stats::RunChild(
      [](int report) {
        Say(STDOUT_FILENO, "out");
        Say(STDERR_FILENO, "err");
        Say(report, "rep");
        char byte;
        _exit(read(STDIN_FILENO, &byte, 1) == 0 ? 3 : 4);  // /dev/null: at its end at once
      },
      {});
  ASSERT_EQ(run.outcome, stats::ChildRun::ENDED) << run.failure;
  EXPECT_EQ(run.output, "out");
  EXPECT_EQ(run.errors, "err");
  EXPECT_EQ(run.report, "rep");
  EXPECT_EQ(stats::DescribeWaitStatus(run.status), "exited with status 3");
}

TEST(RunChild, KillsAndReapsAChildThatOutlivesItsTimeLimit) {
  stats::ChildLimits limits;
  limits.time_limit_ms = 200;
  const auto start = std::chrono::steady_clock::now();
  const stats::ChildRun run = stats::RunChild(
      [](int) {
        sleep(30);
        _exit(0);
      },
      limits);
  EXPECT_EQ(run.outcome, stats::ChildRun::TIMED_OUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a child was left to reap";
}

TEST(RunChild, NeverLetsAChildKeepThisProcesssInputWhenDevNullCannotBeOpened) {
  wrapped::open_dev_null_fails = true;
  const stats::ChildRun run = stats::RunChild(
      [](int report) {
        Say(report, "ran");
        _exit(0);
      },
      {});
  wrapped::open_dev_null_fails = false;
  EXPECT_EQ(run.outcome, stats::ChildRun::FAILED);
  EXPECT_NE(run.failure.find("/dev/null"), std::string::npos) << run.failure;
  EXPECT_NE(run.failure.find(std::strerror(EMFILE)), std::string::npos) << run.failure;
  EXPECT_EQ(run.report, "") << "the body ran without its input";
}

TEST(RunChild, ReportsAFailedWaitAsAFailureNotAsACompletedRun) {
  wrapped::waitpid_fails = true;
  const stats::ChildRun run = stats::RunChild([](int) { _exit(0); }, {});
  wrapped::waitpid_fails = false;
  EXPECT_EQ(run.outcome, stats::ChildRun::FAILED);
  EXPECT_NE(run.failure.find(std::strerror(ECHILD)), std::string::npos) << run.failure;
}

TEST(RunChild, GivesUpWithTheReasonWhenItCannotWaitForTheOutput) {
  wrapped::poll_fails = true;
  const stats::ChildRun run = stats::RunChild(
      [](int) {
        sleep(30);
        _exit(0);
      },
      {});
  wrapped::poll_fails = false;
  EXPECT_EQ(run.outcome, stats::ChildRun::FAILED);
  EXPECT_NE(run.failure.find(std::strerror(ENOMEM)), std::string::npos) << run.failure;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "the child was left running";
}

size_t OpenDescriptors() {
  size_t count = 0;
  for (int fd = 0; fd < 1024; ++fd) count += fcntl(fd, F_GETFD) != -1 ? 1 : 0;
  return count;
}

TEST(RunChild, ClosesThePipesItMadeWhenALaterOneCannotBeMade) {
  const size_t before = OpenDescriptors();
  wrapped::pipe2_fails_at = 3;
  const stats::ChildRun run = stats::RunChild([](int) { _exit(0); }, {});
  wrapped::pipe2_fails_at = 0;
  EXPECT_EQ(run.outcome, stats::ChildRun::FAILED);
  EXPECT_NE(run.failure.find("cannot create a pipe"), std::string::npos) << run.failure;
  EXPECT_EQ(OpenDescriptors(), before) << "the first two pipes leaked";
}

TEST(RunProgram, GivesTheProgramDevNullAsItsInputAndAsNoOtherDescriptor) {
  const stats::ChildRun run = stats::RunProgram({"ls", "-l", "/proc/self/fd"}, {}, true);
  ASSERT_EQ(run.outcome, stats::ChildRun::ENDED) << run.failure;
  std::istringstream lines(run.output);
  std::vector<std::string> on_dev_null;
  for (std::string line; std::getline(lines, line);) {
    const size_t arrow = line.rfind(" -> /dev/null");
    if (arrow != std::string::npos && arrow + 13 == line.size()) {
      const std::string fd =
          line.substr(line.rfind(' ', arrow - 1) + 1, arrow - line.rfind(' ', arrow - 1) - 1);
      // One this test process already had open (from whatever started it) is not the child's.
      if (fd == "0" || fcntl(std::stoi(fd), F_GETFD) == -1) on_dev_null.push_back(fd);
    }
  }
  EXPECT_EQ(on_dev_null, std::vector<std::string>{"0"}) << run.output;
}

// A program that closes its outputs and goes on, as a hung benchmark can; with `ignoring_sigterm`
// it also ignores SIGTERM.
std::vector<std::string> ClosesItsOutputsAndSleeps(bool ignoring_sigterm) {
  return {"sh", "-c",
          std::string(ignoring_sigterm ? "trap '' TERM; " : "") + "exec >&- 2>&-; exec sleep 30"};
}

TEST(RunChild, KeepsItsTimeLimitForAChildThatClosedItsOutputsAndGoesOn) {
  stats::ChildLimits limits;
  limits.time_limit_ms = 300;
  const auto start = std::chrono::steady_clock::now();
  const stats::ChildRun run = stats::RunProgram(ClosesItsOutputsAndSleeps(false), limits, true);
  EXPECT_EQ(run.outcome, stats::ChildRun::TIMED_OUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(RunChild, ObeysAStopAtOnceThoughTheChildClosedItsOutputsAndIgnoresSigterm) {
  stats::InstallStopHandlers();
  stats::ChildLimits limits;
  limits.stops_with_us = true;
  const auto start = std::chrono::steady_clock::now();
  std::thread ctrl_c([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(getpid(), SIGINT);
  });
  const stats::ChildRun run = stats::RunProgram(ClosesItsOutputsAndSleeps(true), limits, true);
  ctrl_c.join();
  EXPECT_EQ(run.outcome, stats::ChildRun::STOPPED);
  EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGKILL)
      << "it ignored SIGTERM, so the grace must end with SIGKILL";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

}  // namespace

namespace {

TEST(RunChild, StopsAChildThatWritesPastTheOutputLimitAndReadsNoFurther) {
  stats::ChildLimits limits;
  limits.output_limit = 64 * 1024;
  const stats::ChildRun run = stats::RunChild(
      [](int) {
        const std::string line(4096, 'y');
        for (;;) (void)!write(STDOUT_FILENO, line.data(), line.size());
      },
      limits);
  EXPECT_EQ(run.outcome, stats::ChildRun::OVERFLOWED);
  EXPECT_EQ(run.output.size(), limits.output_limit + 1) << "one byte past the limit, no more";
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "the child was left running";
}

// Whether `pid` is gone: no such process, or a zombie nobody reaped.
bool Gone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pid_field, name, state;
  return !(stat >> pid_field >> name >> state) || state == "Z";
}

TEST(RunChild, NeverLeavesTheChildRunningWhenThisProcessIsKilled) {
  char pid_file[] = "/tmp/absbench-orphan-XXXXXX";
  const int fd = mkstemp(pid_file);
  ASSERT_GE(fd, 0);
  close(fd);
  const pid_t middle = fork();
  if (middle == 0) {
    stats::RunChild(
        [&](int) {
          std::ofstream(pid_file) << getpid() << "\n";
          sleep(60);
          _exit(0);
        },
        {});
    _exit(0);
  }
  pid_t grandchild = 0;
  for (int tries = 0; tries < 500 && grandchild == 0; ++tries) {
    std::ifstream(pid_file) >> grandchild;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_GT(grandchild, 0) << "the child never started";
  kill(middle, SIGKILL);
  waitpid(middle, nullptr, 0);
  bool gone = false;
  for (int tries = 0; tries < 200 && !gone; ++tries) {
    gone = Gone(grandchild);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(gone) << "the child outlived the process that started it";
  if (!gone) kill(grandchild, SIGKILL);
  unlink(pid_file);
}

}  // namespace

namespace {

// In a fresh process, whose stop flag no earlier test set: the stop comes from another process,
// as a terminal or a CI job's timeout sends it, so that no thread that lets the signal in can take
// it instead. Exits with 0 when the child was STOPPED within 2 s.
[[noreturn]] void StopAfterTheOutputsClosed(int signal_number) {
  stats::InstallStopHandlers();
  const pid_t tester = getpid();
  const pid_t sender = fork();
  if (sender == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(tester, signal_number);
    _exit(0);
  }
  stats::ChildLimits limits;
  limits.stops_with_us = true;
  const auto start = std::chrono::steady_clock::now();
  const stats::ChildRun run = stats::RunProgram(ClosesItsOutputsAndSleeps(false), limits, true);
  const bool prompt = std::chrono::steady_clock::now() - start < std::chrono::seconds(2);
  waitpid(sender, nullptr, 0);
  _exit(run.outcome == stats::ChildRun::STOPPED && prompt ? 0 : 1);
}

TEST(RunChild, ObeysSigintAndSigtermFromAnotherProcessAfterTheChildClosedItsOutputs) {
  for (const int stop : {SIGINT, SIGTERM}) {
    const pid_t tester = fork();
    if (tester == 0) StopAfterTheOutputsClosed(stop);
    int status = 0;
    waitpid(tester, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "signal " << stop << " not obeyed within 2 s: " << stats::DescribeWaitStatus(status);
  }
}

TEST(RunChild, KeepsKillOfItsOwnGroupInsideAndEndsWhatTheChildLeftInIt) {
  char pid_file[] = "/tmp/absbench-group-XXXXXX";
  const int fd = mkstemp(pid_file);
  ASSERT_GE(fd, 0);
  close(fd);
  const stats::ChildRun killed = stats::RunChild([](int) { kill(0, SIGKILL); }, {});
  EXPECT_TRUE(WIFSIGNALED(killed.status) && WTERMSIG(killed.status) == SIGKILL)
      << "only the child's group was killed, and this process lives";
  const stats::ChildRun left = stats::RunChild(
      [&](int) {
        if (fork() == 0) {
          for (int fd = STDOUT_FILENO; fd < 1024; ++fd) close(fd);  // every end of every pipe
          std::ofstream(pid_file) << getpid() << "\n";
          sleep(30);
          _exit(0);
        }
        for (int tries = 0; tries < 500 && std::ifstream(pid_file).peek() == EOF; ++tries)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        _exit(0);
      },
      {});
  EXPECT_EQ(left.outcome, stats::ChildRun::ENDED);
  pid_t grandchild = 0;
  std::ifstream(pid_file) >> grandchild;
  ASSERT_GT(grandchild, 0);
  bool gone = false;
  for (int tries = 0; tries < 100 && !gone; ++tries) {
    gone = Gone(grandchild);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(gone) << "the child's own child outlived the call";
  if (!gone) kill(grandchild, SIGKILL);
  unlink(pid_file);
}

}  // namespace
