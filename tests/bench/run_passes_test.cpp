// A whole run with scripted counter readings, checked byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "tests/fake_platform.h"

namespace {

constexpr uint32_t BASELINE_START = 5000;
constexpr uint32_t BASELINE_MS = 1000;
// Elapsed milliseconds of each kernel loop, positive pass then negative pass.
const std::vector<uint32_t> ELAPSED = {1130, 1000, 950,  1200, 1001, 0,    1300, 1010,
                                       1020, 1030, 1040, 1050, 2000, 1999, 1500, 1000,
                                       1100, 1200, 1300, 1400, 1500, 1600, 1700, 1800};
constexpr size_t WRAPPING_LOOP = 3;  // abs3 in the positive pass starts just before the wrap

const char EXPECTED_REPORT[] =
    "----------------------\r\n"
    "empty procedure timing\r\n"
    "----------------------\r\n"
    "1000 empty procedure\r\n"
    "-------------\r\n"
    "positive pass\r\n"
    "-------------\r\n"
    "130 abs0 tovak\r\n"
    "0 abs1 dravispo\r\n"
    "-50 abs2 zemu 1\r\n"
    "200 abs3 quendis 1\r\n"
    "1 abs4 quendis 2\r\n"
    "-1000 abs5 wobla\r\n"
    "300 abs6 kebrun\r\n"
    "10 abs7 falno 1\r\n"
    "20 abs8 falno 2\r\n"
    "30 abs9 Ostrabine 1\r\n"
    "40 abs10 Ostrabine 2\r\n"
    "50 abs11 zemu 2\r\n"
    "-------------\r\n"
    "negative pass\r\n"
    "-------------\r\n"
    "1000 abs0 tovak\r\n"
    "999 abs1 dravispo\r\n"
    "500 abs2 zemu 1\r\n"
    "0 abs3 quendis 1\r\n"
    "100 abs4 quendis 2\r\n"
    "200 abs5 wobla\r\n"
    "300 abs6 kebrun\r\n"
    "400 abs7 falno 1\r\n"
    "500 abs8 falno 2\r\n"
    "600 abs9 Ostrabine 1\r\n"
    "700 abs10 Ostrabine 2\r\n"
    "800 abs11 zemu 2\r\n";

void ScriptWholeRun() {
  FakePlatform& fake = ResetFakePlatform();
  fake.tick_readings = {BASELINE_START, BASELINE_START + BASELINE_MS};
  uint32_t start = 100000;
  for (size_t loop = 0; loop < ELAPSED.size(); ++loop, start += 10000) {
    const uint32_t loop_start = loop == WRAPPING_LOOP ? 0xFFFFFF00u : start;
    fake.tick_readings.push_back(loop_start);
    fake.tick_readings.push_back(loop_start + ELAPSED[loop]);
  }
}

TEST(WholeRun, WritesTheExactReportForScriptedCounterReadings) {
  ScriptWholeRun();
  RunBenchmark();
  EXPECT_EQ(FakeOutput(), EXPECTED_REPORT);
  EXPECT_TRUE(Fake().tick_readings.empty()) << "fewer than 26 counter pairs were read";
}

TEST(WholeRun, PausesOneHundredMillisecondsAfterEveryResultLineAndNowhereElse) {
  ScriptWholeRun();
  RunBenchmark();
  const auto& calls = Fake().calls;
  int pauses = 0;
  for (size_t i = 0; i < calls.size(); ++i) {
    const bool ends_result_line = calls[i].rfind("write: ", 0) == 0;
    if (calls[i] == "pause 100") ++pauses;
    if (ends_result_line) {
      EXPECT_EQ(calls[i + 1], "pause 100") << "after " << calls[i];
    }
    if (calls[i].rfind("pause", 0) == 0) {
      EXPECT_EQ(calls[i], "pause 100");
      EXPECT_TRUE(calls[i - 1].rfind("write: ", 0) == 0) << "a pause after " << calls[i - 1];
    }
  }
  EXPECT_EQ(pauses, 25);
}

TEST(WholeRun, StartsTheNegativePassRightAfterItsHeader) {
  ScriptWholeRun();
  RunBenchmark();
  const auto& calls = Fake().calls;
  const auto header = std::find(calls.begin(), calls.end(), "write:negative pass");
  ASSERT_NE(header, calls.end());
  EXPECT_EQ(*(header - 3), "pause 100");
  EXPECT_EQ(*(header + 4), "tick");
}

TEST(WholeRun, RaisesPriorityFirstAndSetsItToNormalLast) {
  ScriptWholeRun();
  RunBenchmark();
  const auto& calls = Fake().calls;
  EXPECT_EQ(calls.front(), "priority high");
  EXPECT_EQ(calls.back(), "priority normal");
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "priority high"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "priority normal"), 1);
}

}  // namespace
