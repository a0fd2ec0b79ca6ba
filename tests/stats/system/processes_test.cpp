// The child-process helpers: what they collect, and what they do when the system fails them.
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
#include <vector>

#include "stats/system/child_roles.h"
#include "tests/stats/system/system_call_wrappers.h"
#include "tests/stats/test_roles.h"

namespace {

void Say(int fd, const char* text) { (void)!write(fd, text, std::strlen(text)); }

[[noreturn]] void SleepsLong(const std::string&, const stats::RoleContext&) {
  sleep(30);
  _exit(0);
}

const bool COLLECTING_ROLES_ADDED =
    testing_roles::Add("says-on-each-stream",
                       [](const std::string& input, const stats::RoleContext& context) {
                         Say(STDOUT_FILENO, "out");
                         Say(STDERR_FILENO, "err");
                         stats::ReportBytes(context.report, input.data(), input.size());
                         char byte;
                         // Its input read whole: standard input is at its end.
                         _exit(read(STDIN_FILENO, &byte, 1) == 0 ? 3 : 4);
                       }) &&
    testing_roles::Add("sleeps-long", SleepsLong) &&
    testing_roles::Add("exits-at-once",
                       [](const std::string&, const stats::RoleContext&) { _exit(0); }) &&
    testing_roles::Add("floods-its-output", [](const std::string&, const stats::RoleContext&) {
      const std::string line(4096, 'y');
      for (;;) (void)!write(STDOUT_FILENO, line.data(), line.size());
    });

TEST(ChildRun, CollectsOutputErrorsReportAndExitStatus) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  const stats::ChildRun run = stats::RunRole("says-on-each-stream", "rep", {});
  ASSERT_EQ(run.outcome, stats::ChildRun::ENDED) << run.failure;
  EXPECT_EQ(run.output, "out");
  EXPECT_EQ(run.errors, "err");
  EXPECT_EQ(run.report, "rep");
  EXPECT_EQ(run.ending.words, "exited with status 3");
}

TEST(ChildRun, KillsAndReapsAChildThatOutlivesItsTimeLimit) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  stats::ChildLimits limits;
  limits.time_limit_ms = 200;
  const auto start = std::chrono::steady_clock::now();
  const stats::ChildRun run = stats::RunRole("sleeps-long", "", limits);
  EXPECT_EQ(run.outcome, stats::ChildRun::TIMED_OUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a child was left to reap";
}

TEST(ChildRun, NeverLetsAChildKeepThisProcesssInputWhenDevNullCannotBeOpened) {
  wrapped::open_dev_null_fails = true;
  const stats::ChildRun run = stats::RunProgram({"sh", "-c", "echo ran"}, {}, true);
  wrapped::open_dev_null_fails = false;
  EXPECT_EQ(run.outcome, stats::ChildRun::FAILED);
  EXPECT_NE(run.failure.find("/dev/null"), std::string::npos) << run.failure;
  EXPECT_NE(run.failure.find(std::strerror(EMFILE)), std::string::npos) << run.failure;
  EXPECT_EQ(run.output, "") << "the program ran without its input";
}

TEST(ChildRun, ReportsAFailedWaitAsAFailureNotAsACompletedRun) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  wrapped::waitpid_fails = true;
  const stats::ChildRun run = stats::RunRole("exits-at-once", "", {});
  wrapped::waitpid_fails = false;
  EXPECT_EQ(run.outcome, stats::ChildRun::FAILED);
  EXPECT_NE(run.failure.find(std::strerror(ECHILD)), std::string::npos) << run.failure;
}

TEST(ChildRun, GivesUpWithTheReasonWhenItCannotWaitForTheOutput) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  wrapped::poll_fails = true;
  const stats::ChildRun run = stats::RunRole("sleeps-long", "", {});
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

TEST(ChildRun, ClosesThePipesItMadeWhenALaterOneCannotBeMade) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  const size_t before = OpenDescriptors();
  wrapped::pipe2_fails_at = 3;
  const stats::ChildRun run = stats::RunRole("exits-at-once", "", {});
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

TEST(ChildRun, StopsAChildThatWritesPastTheOutputLimitAndReadsNoFurther) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  stats::ChildLimits limits;
  limits.output_limit = 64 * 1024;
  const stats::ChildRun run = stats::RunRole("floods-its-output", "", limits);
  EXPECT_EQ(run.outcome, stats::ChildRun::OVERFLOWED);
  EXPECT_EQ(run.output.size(), limits.output_limit + 1) << "one byte past the limit, no more";
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "the child was left running";
}

}  // namespace
