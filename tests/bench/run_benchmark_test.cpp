// The run frame with the fake platform and the quick test build of the timed loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "shell/shell.h"
#include "tests/fake_platform.h"

// The warm-up is linked through a wrapper, so the record shows where it ran.
extern "C" void __real_WarmUp();
extern "C" void __wrap_WarmUp() {
  Fake().calls.push_back("warm-up");
  __real_WarmUp();
}

namespace {

const char BASELINE_HEADER[] =
    "----------------------\r\nempty procedure timing\r\n----------------------\r\n";

size_t IndexOf(const std::vector<std::string>& calls, const std::string& call) {
  return static_cast<size_t>(std::find(calls.begin(), calls.end(), call) - calls.begin());
}

size_t FirstWrite(const std::vector<std::string>& calls) {
  return static_cast<size_t>(
      std::find_if(calls.begin(), calls.end(),
                   [](const std::string& call) { return call.rfind("write:", 0) == 0; }) -
      calls.begin());
}

TEST(RunBenchmark, RaisesPriorityThenWarmsUpBeforeWritingAnything) {
  ResetFakePlatform();
  RunBenchmark();
  const auto& calls = Fake().calls;
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0], "priority high");
  EXPECT_EQ(calls[1], "warm-up");
  EXPECT_LT(IndexOf(calls, "warm-up"), FirstWrite(calls));
  EXPECT_EQ(calls.back(), "priority normal");
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "priority normal"), 1);
}

TEST(RunBenchmark, WritesTheHeaderInSixCallsAndReadsTheCounterOnlyAfterIt) {
  ResetFakePlatform();
  RunBenchmark();
  const auto& calls = Fake().calls;
  const size_t first = FirstWrite(calls);
  const std::vector<std::string> header(calls.begin() + first, calls.begin() + first + 7);
  EXPECT_EQ(header,
            (std::vector<std::string>{"write:----------------------", "write:\r\n",
                                      "write:empty procedure timing", "write:\r\n",
                                      "write:----------------------", "write:\r\n", "tick"}));
}

TEST(RunBenchmark, PrintsTheRawBaselineAndPausesRightAfterIt) {
  ResetFakePlatform().tick_readings = {5000, 6825};
  RunBenchmark();
  EXPECT_EQ(baseline_ms, 1825u);
  EXPECT_EQ(FakeOutput().substr(0, sizeof BASELINE_HEADER - 1 + 22),
            std::string(BASELINE_HEADER) + "1825 empty procedure\r\n");
  const auto& calls = Fake().calls;
  EXPECT_EQ(calls[IndexOf(calls, "write: empty procedure\r\n") + 1], "pause 100");
}

TEST(RunBenchmark, PrintsZeroWhenTheLoopTookLessThanATick) {
  ResetFakePlatform().tick_readings = {777, 777};
  RunBenchmark();
  EXPECT_NE(FakeOutput().find("\r\n0 empty procedure\r\n"), std::string::npos);
}

TEST(RunBenchmark, MeasuresAcrossAWrapOfTheCounter) {
  ResetFakePlatform().tick_readings = {0xFFFFFF00u, 0x00000500u};
  RunBenchmark();
  EXPECT_EQ(baseline_ms, 0x600u);
  EXPECT_NE(FakeOutput().find("\r\n1536 empty procedure\r\n"), std::string::npos);
}

TEST(ProgramEntry, PromptsWaitsForOneKeyThenEndsTheLineAndExitsWithZero) {
  ResetFakePlatform().polls_before_key = 2;
  try {
    ProgramEntry();
    FAIL() << "ProgramEntry returned";
  } catch (const FakeExit& exit) {
    EXPECT_EQ(exit.exit_code, 0u);
  }
  const auto& calls = Fake().calls;
  const size_t prompt = IndexOf(calls, "write:Press any key to continue ...");
  ASSERT_LT(prompt, calls.size());
  EXPECT_LT(IndexOf(calls, "priority normal"), prompt);
  const std::vector<std::string> tail(calls.begin() + prompt, calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"write:Press any key to continue ...", "begin key wait",
                                            "sleep 1", "key waiting?", "sleep 1", "key waiting?",
                                            "sleep 1", "key waiting?", "take key", "write:\r\n",
                                            "report lost output?", "exit 0"}));
}

TEST(ProgramEntry, ExitsWithOneAfterTheWholeRunWhenTheReportCouldNotBeWritten) {
  ResetFakePlatform().output_lost = true;
  try {
    ProgramEntry();
    FAIL() << "ProgramEntry returned";
  } catch (const FakeExit& exit) {
    EXPECT_EQ(exit.exit_code, 1u);
  }
  const auto& calls = Fake().calls;
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "pause 100"), 25) << "the run was cut short";
  EXPECT_EQ(calls[calls.size() - 3], "write:\r\n");
  EXPECT_EQ(calls[calls.size() - 2], "report lost output?");
}

}  // namespace
