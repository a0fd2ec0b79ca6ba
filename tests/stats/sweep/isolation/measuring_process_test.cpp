// The measuring process as its parent sees it, with a sweep that times nothing: each measure
// filled with nets of 1.5 cycles, and an act of its own before each, which may end the process
// while a cell of a kernel is named. The kernels are real, so that blame is confirmed alone.
#include "stats/sweep/isolation/measuring_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "stats/sweep/isolation/blame.h"
#include "stats/sweep/isolation/deadline.h"
#include "stats/sweep/placed/blocks.h"
#include "stats/sweep/placed/procedures.h"
#include "stats/sweep/user_code/user_kernel.h"
#include "stats/system/processes.h"
#include "tests/stats/test_roles.h"

namespace {

using stats::SweepMeasure;

// In the child, before a measure: the kernels and the hooks it was handed.
using Act = std::function<void(SweepMeasure, const std::vector<stats::Procedure>&,
                               const stats::SweepHooks&)>;

stats::Procedure MeasuredKernel(const std::string& argument) {
  return std::get<stats::Procedure>(stats::ParseUserKernel({false, argument}, {}));
}

int IndexOfKernel(const std::vector<stats::Procedure>& kernels, const std::string& name) {
  for (size_t at = 0; at < kernels.size(); ++at) {
    if (kernels[at].name == name) return static_cast<int>(at);
  }
  return -1;
}

// Its clock is 2 GHz in the first process and 3 GHz in the next; its noise floor says how many
// seconds of the sweep it was told had gone before it.
stats::MeasureSweep FakeSweep(const Act& act) {
  return [act](const std::vector<stats::Procedure>& kernels, const stats::SweepSettings& settings,
               const stats::SweepHooks& hooks) {
    hooks.prepared();
    stats::SweepResult result;
    result.kernels = kernels;
    result.settings = settings;
    const double clock = 2.0 + static_cast<double>(settings.measures_before);
    result.slowest_clock_ghz = result.fastest_clock_ghz = result.median_clock_ghz = clock;
    for (size_t at = 0; at < settings.measures.size(); ++at) {
      const SweepMeasure which = settings.measures[at];
      act(which, kernels, hooks);
      stats::MeasureResult& measure = result.measures.emplace_back();
      measure.measure = which;
      measure.grid = stats::GridFor(which);
      measure.kernels = stats::KernelsMeasured(which, kernels).kernels;
      measure.chunk_length = 100;
      measure.copies = which == SweepMeasure::CALL ? 1 : stats::COPIES_PER_BLOCK;
      measure.pairs = 5;
      measure.rounds = 2;
      measure.noise_floor_cycles = settings.seconds_before;
      for (stats::Pass pass : {stats::POSITIVE, stats::NEGATIVE}) {
        for (size_t kernel : measure.kernels) {
          for (size_t placement = 0; placement < measure.grid.size(); ++placement)
            measure.samples.push_back({pass, kernel, placement, 0, 1.5, 1.5, 1.5});
        }
      }
      hooks.finished(result, at);
    }
    return result;
  };
}

// A measuring role of this test program's own: the fake sweep, with `act` before each measure.
bool AddFakeMeasuring(const std::string& role, const Act& act) {
  return testing_roles::Add(role, stats::MeasuringRole(role, FakeSweep(act)));
}

stats::SweepResult SweepWith(const std::vector<stats::Procedure>& kernels,
                             const std::vector<SweepMeasure>& measures, double seconds,
                             const std::string& role) {
  stats::SweepSettings settings;
  settings.measures = measures;
  settings.seconds = seconds;
  return stats::RunSweepInMeasuringProcess(
      kernels, settings, [](size_t, size_t, bool) {}, role);
}

const std::vector<stats::Procedure> GOOD_AND_BAD = {MeasuredKernel("good=85c0"),
                                                    MeasuredKernel("bad=0f0b")};
// One of the table's before the user's.
const std::vector<stats::Procedure> TABLE_GOOD_AND_BAD = {
    stats::TableProcedures()[5], MeasuredKernel("good=85c0"), MeasuredKernel("bad=0f0b")};

const bool LATENCY_OF_BAD_EXITS =
    AddFakeMeasuring("latency-of-bad-exits-with-9", [](SweepMeasure measure,
                                                       const std::vector<stats::Procedure>& kernels,
                                                       const stats::SweepHooks& hooks) {
      if (measure != SweepMeasure::LATENCY || IndexOfKernel(kernels, "bad") < 0) return;
      const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
      while (std::chrono::steady_clock::now() < until) {
      }
      hooks.entering(measure, IndexOfKernel(kernels, "bad"), 7);
      stats::ExitAtOnce(9);
    });

TEST(MeasuringProcess, TakenUpAgainHasTheTimeLeftAndGivesEveryMsAtTheOneClockTheHeaderStates) {
  const stats::SweepResult result = SweepWith(
      GOOD_AND_BAD, {SweepMeasure::CALL, SweepMeasure::LATENCY}, 30, "latency-of-bad-exits-with-9");
  ASSERT_EQ(result.error, "");
  EXPECT_EQ(result.left_out, std::vector<std::string>{"bad: the measuring process exited with "
                                                      "status 9 at placement 7 of latency"});
  ASSERT_EQ(result.measures.size(), 2u) << "the call measure kept, latency made again";
  EXPECT_EQ(result.measures[0].kernels, std::vector<size_t>{0});
  EXPECT_LT(result.measures[0].noise_floor_cycles, 0.1) << "the first process had the whole cap";
  EXPECT_GE(result.measures[1].noise_floor_cycles, 0.3) << "the next, what the first left";
  EXPECT_EQ(result.median_clock_ghz, 2.0);
  for (const stats::MeasureResult& measure : result.measures) {
    for (const stats::SweepSample& sample : measure.samples)
      ASSERT_EQ(sample.net_ms, 750) << "1.5 cycles at 2 GHz, though latency ran at 3";
  }
}

// Ends with 4 (as when it cannot write its report) where `named` names a cell of call.
bool AddCannotReportIn(const std::string& named) {
  return AddFakeMeasuring(
      "cannot-report-in-" + named,
      [named](SweepMeasure measure, const std::vector<stats::Procedure>& kernels,
              const stats::SweepHooks& hooks) {
        if (IndexOfKernel(kernels, "bad") < 0) return;
        if (!named.empty()) hooks.entering(measure, IndexOfKernel(kernels, named), 3);
        stats::ExitAtOnce(stats::CANNOT_REPORT);
      });
}
const bool CANNOT_REPORT_ADDED =
    AddCannotReportIn("bad") && AddCannotReportIn("good") && AddCannotReportIn("");

TEST(MeasuringProcess, ItsOwnExitStatusesNameAKernelOnlyWhenItsCellFailsAgainAlone) {
  auto ending_in = [](const std::string& named) {
    return SweepWith(TABLE_GOOD_AND_BAD, {SweepMeasure::CALL}, 30, "cannot-report-in-" + named);
  };
  const stats::SweepResult bad = ending_in("bad");
  EXPECT_EQ(bad.error, "");
  EXPECT_EQ(bad.left_out, std::vector<std::string>{
                              "bad: the measuring process exited with status 4 at placement 3 "
                              "of call"});
  EXPECT_EQ(bad.measures.size(), 1u) << "the others measured";
  // No cell of theirs fails again: the user's kernels all go, and the table's is measured.
  const std::string unconfirmed =
      "the measuring process could not write its report, and no kernel's cell failed again alone";
  const stats::SweepResult good = ending_in("good");
  EXPECT_EQ(good.error, "");
  EXPECT_EQ(good.left_out,
            (std::vector<std::string>{"bad: " + unconfirmed, "good: " + unconfirmed}));
  ASSERT_EQ(good.measures.size(), 1u);
  EXPECT_EQ(good.kernels.size(), 1u);
  EXPECT_EQ(good.kernels[0].origin, stats::Procedure::Origin::TABLE) << "the table's kernel";
  EXPECT_EQ(ending_in("").left_out,
            (std::vector<std::string>{"bad: the measuring process could not write its report",
                                      "good: the measuring process could not write its report"}))
      << "no cell named: no kernel ran, and the user's go";
}

const bool SPIN_KEEPS_COUNTING = AddFakeMeasuring(
    "spin-keeps-counting", [](SweepMeasure measure, const std::vector<stats::Procedure>& kernels,
                              const stats::SweepHooks& hooks) {
      if (IndexOfKernel(kernels, "spin") < 0) return;
      hooks.entering(measure, IndexOfKernel(kernels, "spin"), 5);
      for (size_t done = 0;; ++done) hooks.progress(done, done + 1, false);
    });

// Progress the child reports proves nothing: a kernel can count on the page as it spins. (Rounds
// without a time get 30 minutes, which MeasuringDeadline below holds to.)
TEST(MeasuringProcess, OneThatKeepsSayingItWorksPastItsDeadlineIsAHangOfTheCellNamed) {
  const std::vector<stats::Procedure> kernels = {MeasuredKernel("good=85c0"),
                                                 MeasuredKernel("spin=ebfe")};
  stats::SweepSettings settings;
  settings.measures = {SweepMeasure::CALL};
  settings.seconds = 0.5;
  settings.rounds = 2;
  const auto start = std::chrono::steady_clock::now();
  const stats::SweepResult result = stats::RunSweepInMeasuringProcess(
      kernels, settings, [](size_t, size_t, bool) {}, "spin-keeps-counting");
  EXPECT_EQ(result.left_out, std::vector<std::string>{"spin: it kept the measuring process going "
                                                      "past its deadline at placement 5 of call"});
  EXPECT_EQ(result.measures.size(), 1u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
}

TEST(MeasuringDeadline, FollowsTheRoundsAskedTheTimeLeftOrABoundForCallsFixedByHand) {
  stats::SweepSettings rounds;
  rounds.measures = {SweepMeasure::CALL};
  rounds.rounds = 8;
  // A kernel may take a second a call: rounds without a time get the bound of calls fixed by hand.
  EXPECT_DOUBLE_EQ(stats::MeasuringDeadlineSeconds(rounds, 12),
                   stats::CALLS_BY_HAND_DEADLINE_SECONDS);
  // 2 passes x 13 procedures x 64 placements, six chunks and chains a visit, at least 0.1 s a
  // round: 1000 rounds of 600 kernels take longer than the bound, and get ten times their time.
  rounds.rounds = 1000;
  const double many = stats::MeasuringDeadlineSeconds(rounds, 600);
  EXPECT_GT(many, stats::CALLS_BY_HAND_DEADLINE_SECONDS);
  rounds.measures = {SweepMeasure::CALL, SweepMeasure::LATENCY};
  EXPECT_GT(stats::MeasuringDeadlineSeconds(rounds, 600), many) << "a block's visit is longer";

  stats::SweepSettings timed;
  timed.seconds = 10;
  timed.seconds_before = 4;
  EXPECT_DOUBLE_EQ(stats::MeasuringDeadlineSeconds(timed, 12), 2 * 6 + 3);
  timed.rounds = 8;
  EXPECT_DOUBLE_EQ(stats::MeasuringDeadlineSeconds(timed, 12), 2 * 6 + 3) << "the time caps it";
  timed.seconds_before = 20;
  EXPECT_DOUBLE_EQ(stats::MeasuringDeadlineSeconds(timed, 12), 3) << "no time left";
  const stats::SweepSettings usual;
  EXPECT_DOUBLE_EQ(stats::MeasuringDeadlineSeconds(usual, 12), 2 * stats::BUSY_HOST_SECONDS + 3);

  for (stats::SweepSettings by_hand : {rounds, timed, usual}) {
    by_hand.calls = 1000000;
    EXPECT_DOUBLE_EQ(stats::MeasuringDeadlineSeconds(by_hand, 12),
                     stats::CALLS_BY_HAND_DEADLINE_SECONDS);
  }
  EXPECT_EQ(stats::CALLS_BY_HAND_DEADLINE_SECONDS, 30 * 60) << "as --help says";
}

}  // namespace
