// The benchmark run as a child: every way it can fail to give a report is said in words.
#include "stats/runs/runner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

namespace {

// An executable shell script in a temporary folder, removed when the test ends.
class Script {
 public:
  explicit Script(const std::string& body) {
    char folder[] = "/tmp/absbench-runner-XXXXXX";
    folder_ = mkdtemp(folder);
    path_ = folder_ + "/benchmark";
    std::ofstream(path_) << "#!/bin/sh\n" << body << "\n";
    chmod(path_.c_str(), 0755);
  }
  ~Script() {
    unlink(path_.c_str());
    rmdir(folder_.c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string folder_, path_;
};

TEST(CaptureOneRun, SaysWhyABenchmarkThatCannotStartDidNotRun) {
  const stats::CapturedRun run = stats::CaptureOneRun("/nonexistent/absbench", [] {});
  EXPECT_EQ(run.outcome, stats::CapturedRun::FAILED);
  EXPECT_EQ(run.failure,
            std::string("cannot start /nonexistent/absbench: ") + std::strerror(ENOENT));
}

TEST(CaptureOneRun, SaysWhichSignalKilledTheBenchmarkAndItsLastWords) {
  const Script killed("echo 'about to go' >&2; kill -KILL $$");
  const stats::CapturedRun run = stats::CaptureOneRun(killed.path(), [] {});
  EXPECT_EQ(run.outcome, stats::CapturedRun::FAILED);
  EXPECT_EQ(run.failure, "the benchmark was killed by SIGKILL (Killed); it said: \"about to go\"");
}

TEST(CaptureOneRun, TakesAZeroExitWithItsOutputAsACompletedRun) {
  const Script fine("printf 'a report'");
  const stats::CapturedRun run = stats::CaptureOneRun(fine.path(), [] {});
  EXPECT_EQ(run.outcome, stats::CapturedRun::COMPLETED) << run.failure;
  EXPECT_EQ(run.output, "a report");
}

}  // namespace

namespace {

TEST(ReadSavedReports, RefusesWhatIsNotAReportWithTheSystemsReasonOrTheBoundAtOnce) {
  char folder[] = "/tmp/absbench-reports-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string sparse = std::string(folder) + "/big.txt";
  std::ofstream{sparse};
  ASSERT_EQ(truncate(sparse.c_str(), 300000000), 0) << "a sparse file of 300 MB of zero bytes";
  const struct {
    std::string path, says;
  } refusals[] = {
      {"/dev/zero",
       "/dev/zero: not a report: it holds more than 64 KiB, and a report is under 1 KiB"},
      {sparse, sparse + ": not a report: it holds more than 64 KiB, and a report is under 1 KiB"},
      {folder, std::string("cannot read ") + folder + ": " + std::strerror(EISDIR)},
      {"/nonexistent/report.txt",
       std::string("cannot read /nonexistent/report.txt: ") + std::strerror(ENOENT)},
  };
  for (const auto& refusal : refusals) {
    const auto start = std::chrono::steady_clock::now();
    const stats::CollectedRuns collected = stats::ReadSavedReports({refusal.path});
    EXPECT_EQ(collected.exit_code, 1) << refusal.path;
    EXPECT_EQ(collected.problem, refusal.says);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << refusal.path;
  }
  unlink(sparse.c_str());
  rmdir(folder);
}

TEST(ReadSavedReports, SaysPermissionDeniedForAReportItMayNotRead) {
  char path[] = "/tmp/absbench-private-XXXXXX";
  const int fd = mkstemp(path);  // mode 0600, owned by this user
  ASSERT_GE(fd, 0);
  close(fd);
  const pid_t child = fork();
  if (child == 0) {
    // Root reads anything, so the check runs as nobody when this runs as root.
    if (getuid() == 0 && setuid(65534) != 0) _exit(2);
    const stats::CollectedRuns collected = stats::ReadSavedReports({path});
    _exit(collected.problem == std::string("cannot read ") + path + ": " + std::strerror(EACCES)
              ? 0
              : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  unlink(path);
  if (getuid() != 0) GTEST_SKIP() << "the file is this user's own, so it is readable";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST(CaptureOneRun, StopsABenchmarkThatWritesWithoutEndAtTheBound) {
  const stats::CapturedRun run = stats::CaptureOneRun("/usr/bin/yes", [] {});
  EXPECT_EQ(run.outcome, stats::CapturedRun::FAILED);
  EXPECT_EQ(run.failure.rfind("not a report: the benchmark wrote more than 64 KiB", 0), 0u)
      << run.failure;
  EXPECT_LE(run.output.size(), stats::REPORT_BOUND + 1);
}

TEST(CaptureOneRun, QuotesTheBenchmarksLastWordsShortAndEscaped) {
  const Script noisy("printf '\\001%0300d\\n' 0 >&2; exit 3");
  const stats::CapturedRun run = stats::CaptureOneRun(noisy.path(), [] {});
  EXPECT_EQ(run.failure.rfind("the benchmark exited with status 3; it said: \"\\x01000", 0), 0u)
      << run.failure;
  EXPECT_NE(run.failure.find("(cut; 301 bytes in all)"), std::string::npos) << run.failure;
  EXPECT_LT(run.failure.size(), 250u);
}

}  // namespace
