// Programs run by absbench-stats on Windows: what is collected, the limits, and that nothing the
// child started outlives the run.
#include "stats/system/processes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>

#include "stats/system/files.h"

namespace {

const std::string HELPER = stats::ProgramBesideThisOne("windows_child_helper");

TEST(RunProgramOnWindows, CollectsOutputAndErrorsApartWithInputFromNulAndTheExitStatus) {
  const stats::ChildRun run = stats::RunProgram({HELPER, "streams"}, {}, false);
  ASSERT_EQ(run.outcome, stats::ChildRun::ENDED) << run.failure;
  EXPECT_EQ(run.output, "out");
  EXPECT_EQ(run.errors, "err");
  EXPECT_EQ(run.ending.words, "exited with status 3") << "its input was not at its end";
  EXPECT_FALSE(stats::Succeeded(run));
}

TEST(RunProgramOnWindows, HandsEveryWordOverExactlyWithSpacesQuotesBackslashesAndUnicode) {
  const std::vector<std::string> words = {"two words", "say \"hi\"", "C:\\ends in\\",
                                          "\\\\\"",    "",           "\xC3\xA9t\xC3\xA9"};
  std::vector<std::string> command = {HELPER, "words"};
  command.insert(command.end(), words.begin(), words.end());
  const stats::ChildRun run = stats::RunProgram(command, {}, false);
  ASSERT_TRUE(stats::Succeeded(run)) << run.failure << run.ending.words;
  std::string expected;
  for (const std::string& word : words) expected += word + "\n";
  EXPECT_EQ(run.output, expected);
}

TEST(RunProgramOnWindows, EndsAChildAtItsTimeLimitAndAtItsOutputLimitReadingNoFurther) {
  stats::ChildLimits limits;
  limits.time_limit_ms = 300;
  const auto start = std::chrono::steady_clock::now();
  const stats::ChildRun slow = stats::RunProgram({HELPER, "sleeps"}, limits, false);
  EXPECT_EQ(slow.outcome, stats::ChildRun::TIMED_OUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

  limits = {};
  limits.output_limit = 64 * 1024;
  const stats::ChildRun flood = stats::RunProgram({HELPER, "floods"}, limits, false);
  EXPECT_EQ(flood.outcome, stats::ChildRun::OVERFLOWED);
  EXPECT_EQ(flood.output.size(), limits.output_limit + 1) << "one byte past the limit, no more";
}

TEST(RunProgramOnWindows, EndsEveryProcessTheChildStartedWhenTheRunReturns) {
  const stats::ChildRun run = stats::RunProgram({HELPER, "leaves-a-sleeper"}, {}, false);
  ASSERT_TRUE(stats::Succeeded(run)) << run.failure << run.ending.words;
  const HANDLE sleeper =
      OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::stoul(run.output)));
  if (sleeper == nullptr) return;  // already gone, its number forgotten
  EXPECT_EQ(WaitForSingleObject(sleeper, 5000), WAIT_OBJECT_0) << "the sleeper outlived the run";
  CloseHandle(sleeper);
}

TEST(RunProgramOnWindows, ReturnsOnceTheChildEndedThoughAProcessItLeftHoldsItsOutputOpen) {
  const auto start = std::chrono::steady_clock::now();
  const stats::ChildRun run =
      stats::RunProgram({HELPER, "leaves-a-sleeper-holding-its-output"}, {}, false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10))
      << "the run waited on the sleeper's end";
  ASSERT_TRUE(stats::Succeeded(run)) << run.failure << run.ending.words;
  EXPECT_NE(run.output, "") << "what the child wrote before it ended is kept";
}

TEST(RunProgramOnWindows, SaysWhichProgramCouldNotStartAndWhy) {
  const stats::ChildRun nothing = stats::RunProgram({}, {}, false);
  EXPECT_EQ(nothing.outcome, stats::ChildRun::FAILED);
  EXPECT_NE(nothing.failure, "");

  const std::string missing = HELPER + "-not-there.exe";
  const stats::ChildRun run = stats::RunProgram({missing}, {}, false);
  EXPECT_EQ(run.outcome, stats::ChildRun::FAILED);
  EXPECT_EQ(run.failure.rfind("cannot start " + missing + ": ", 0), 0u) << run.failure;
}

}  // namespace
