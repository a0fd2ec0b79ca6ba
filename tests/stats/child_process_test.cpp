// The one child-process helper: what it collects, and what it does when the system fails it.
#include "stats/child_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "tests/stats/system_call_wrappers.h"

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

}  // namespace
