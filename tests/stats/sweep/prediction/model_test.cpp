// The real llvm-mca on blocks whose chains are known.
#include "stats/sweep/prediction/model.h"

#include <gtest/gtest.h>

#include "stats/sweep/placed/procedures.h"

namespace {

TEST(Predict, GivesAbs5ThreeCyclesAndAChainOfFourAdditionsFourOnZen4) {
  std::string problem;
  const stats::ModelTools tools = stats::FindModelTools("", problem);
  ASSERT_EQ(problem, "") << "tests/install_deps.sh installs llvm-19";
  stats::Procedure adds = stats::EmptyProcedureCopy();
  adds.name = "adds";
  const std::vector<uint8_t> add_eax_0 = {0x83, 0xC0, 0x00};
  for (int add = 0; add < 4; ++add) {
    adds.bytes.insert(adds.bytes.begin(), add_eax_0.begin(), add_eax_0.end());
  }
  const stats::ModelPredictions model = stats::Predict(
      tools, "znver4", {stats::TableProcedures()[5], adds}, {stats::SweepMeasure::LATENCY});
  ASSERT_EQ(model.problem, "");
  EXPECT_EQ(model.cpu, "znver4");
  EXPECT_EQ(model.note, "") << "znver4 is a model of its own";
  for (stats::Pass pass : {stats::POSITIVE, stats::NEGATIVE}) {
    const stats::Prediction* abs5 = model.For(stats::SweepMeasure::LATENCY, pass, "abs5");
    const stats::Prediction* four = model.For(stats::SweepMeasure::LATENCY, pass, "adds");
    ASSERT_TRUE(abs5 != nullptr && abs5->made);
    ASSERT_TRUE(four != nullptr && four->made);
    EXPECT_NEAR(abs5->cycles, 3, 0.01) << stats::PASS_NAMES[pass];
    EXPECT_NEAR(four->cycles, 4, 0.01) << stats::PASS_NAMES[pass];
  }
}

TEST(Predict, GivesABranchyKernelThePathOfEachPassWithItsJumpAndWithoutTheRedirect) {
  std::string problem;
  const stats::ModelTools tools = stats::FindModelTools("", problem);
  ASSERT_EQ(problem, "") << "tests/install_deps.sh installs llvm-19";
  const std::vector<stats::Procedure> table = stats::TableProcedures();
  const stats::ModelPredictions model =
      stats::Predict(tools, "znver4", {table[2], table[9]}, {stats::SweepMeasure::LATENCY});
  ASSERT_EQ(model.problem, "");
  // Negative: or/test, jns, neg and the glue's neg, less the glue. Positive: or/test and a jns.
  const struct {
    const char* kernel;
    stats::Pass pass;
    double cycles;
  } expected[] = {{"abs2", stats::NEGATIVE, 2},
                  {"abs2", stats::POSITIVE, 1},
                  {"abs9", stats::NEGATIVE, 1},
                  {"abs9", stats::POSITIVE, 0.5}};
  for (const auto& each : expected) {
    const stats::Prediction* prediction =
        model.For(stats::SweepMeasure::LATENCY, each.pass, each.kernel);
    ASSERT_TRUE(prediction != nullptr && prediction->made) << each.kernel;
    EXPECT_NEAR(prediction->cycles, each.cycles, 0.01)
        << each.kernel << " " << stats::PASS_NAMES[each.pass];
  }
}

}  // namespace
