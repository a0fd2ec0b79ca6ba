// The benchmark run as a child: every way it can fail to give a report is said in words.
#include "stats/summary/runner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
  EXPECT_EQ(run.failure, "the benchmark was killed by signal 9 (Killed); it said: about to go");
}

TEST(CaptureOneRun, TakesAZeroExitWithItsOutputAsACompletedRun) {
  const Script fine("printf 'a report'");
  const stats::CapturedRun run = stats::CaptureOneRun(fine.path(), [] {});
  EXPECT_EQ(run.outcome, stats::CapturedRun::COMPLETED) << run.failure;
  EXPECT_EQ(run.output, "a report");
}

}  // namespace
