// The model's answers put together: a stand-in llvm-mca whose answers and errors are known, beside
// the real recorder and llvm-mc.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "stats/sweep/placed/procedures.h"
#include "stats/sweep/prediction/model.h"

namespace {

namespace fs = std::filesystem;

// A shell script that stands in for llvm-mca, removed at the end.
class StandIn {
 public:
  explicit StandIn(const std::string& body)
      : path_(fs::temp_directory_path() /
              ("absbench-stand-in-mca-" + std::to_string(std::random_device{}()))) {
    std::ofstream(path_) << "#!/bin/sh\nfor last; do :; done\n" << body;
    fs::permissions(path_, fs::perms::owner_all);
  }
  ~StandIn() { fs::remove(path_); }
  stats::ModelTools tools() const {
    std::string problem;
    stats::ModelTools tools = stats::FindModelTools("", problem);
    tools.mca = path_.string();
    return tools;
  }

 private:
  fs::path path_;
};

// Each region 10 cycles per iteration, on the processor $cpu whose first resource is $resource.
const std::string ANSWERS_TEN =
    "printf '{\"CodeRegions\": ['; sep=''\n"
    "for name in $(sed -n 's/^# LLVM-MCA-BEGIN //p' \"$last\"); do\n"
    "  printf '%s{\"Name\": \"%s\", \"SummaryView\": {\"Iterations\": 1000, \"TotalCycles\": "
    "10000}}' \"$sep\" \"$name\"; sep=','\n"
    "done\n"
    "printf '], \"TargetInfo\": {\"CPUName\": \"%s\", \"Resources\": [\"%s\"]}}\\n' \"$cpu\" "
    "\"$resource\"\n";

stats::Procedure Mine() {
  stats::Procedure mine = stats::EmptyProcedureCopy();
  mine.name = "mine";
  mine.bytes.insert(mine.bytes.begin(), {0x83, 0xC0, 0x00});  // add eax, 0
  return mine;
}

TEST(PredictWithAStandIn, GivesNoLatencyWhereTheGluesOwnChainHasNoPredictionAndSaysWhy) {
  // An error on the line after the glue's region begins, where it has its NEG.
  const StandIn model(
      "glue=$(grep -n '^# LLVM-MCA-BEGIN EmptyProcedure' \"$last\" | cut -d: -f1)\n"
      "if [ -n \"$glue\" ]; then echo \"$last:$((glue + 1)):1: error: invalid operand\" >&2; "
      "exit 1; fi\n"
      "cpu=fakecpu; resource=Fk0\n" +
      ANSWERS_TEN);
  const stats::ModelPredictions predictions =
      stats::Predict(model.tools(), "fakecpu", {Mine()}, {stats::SweepMeasure::LATENCY});
  ASSERT_EQ(predictions.problem, "");
  const stats::Prediction* positive =
      predictions.For(stats::SweepMeasure::LATENCY, stats::POSITIVE, "mine");
  const stats::Prediction* negative =
      predictions.For(stats::SweepMeasure::LATENCY, stats::NEGATIVE, "mine");
  ASSERT_TRUE(positive != nullptr && negative != nullptr);
  EXPECT_TRUE(positive->made) << "no glue in the positive pass: " << positive->why_not;
  EXPECT_EQ(positive->cycles, 10);
  EXPECT_FALSE(negative->made) << negative->cycles;
  EXPECT_EQ(negative->why_not,
            "the glue's own chain, which its latency is measured net of, has no prediction: the "
            "model does not read it: invalid operand");
}

TEST(PredictWithAStandIn, KeepsTheNoteOfEveryPassOnce) {
  // The negative pass, with the glue's NEG, on a processor this LLVM does not know.
  const StandIn model(
      "cpu=znver5; resource=Zn4ALU0\n"
      "if grep -q negl \"$last\"; then cpu=fakecpu; resource=Fk0\n"
      "  echo \"'fakecpu' is not a recognized processor for this target\" >&2; fi\n" +
      ANSWERS_TEN);
  const stats::ModelPredictions predictions =
      stats::Predict(model.tools(), "fakecpu", {Mine()},
                     {stats::SweepMeasure::LATENCY, stats::SweepMeasure::THROUGHPUT});
  ASSERT_EQ(predictions.problem, "");
  EXPECT_EQ(predictions.note,
            "this LLVM has no model of its own for znver5: it schedules it with its znver4 "
            "model; LLVM does not know the processor 'fakecpu'; its generic model stands in");
}

}  // namespace
