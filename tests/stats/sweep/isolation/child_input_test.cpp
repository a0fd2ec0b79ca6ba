// What the sweep hands a child: written and read back whole, and refused when it is not.
#include "stats/sweep/isolation/child_input.h"

#include <gtest/gtest.h>

namespace {

stats::Procedure Kernel() {
  stats::Procedure kernel;
  kernel.name = "mine";
  kernel.words = "mine (neg eax)";
  kernel.bytes = {0xF7, 0xD8, 0x00, 0xC3};
  kernel.table_row = -1;
  kernel.result = ResultRegister::ECX;
  kernel.inline_refusal = "it jumps";
  kernel.assembly = "neg eax\n";
  kernel.origin = stats::Procedure::Origin::USER;
  return kernel;
}

TEST(ChildInput, KernelsAndSettingsComeBackAsTheyWereWritten) {
  stats::SweepSettings settings;
  settings.measures = {stats::SweepMeasure::THROUGHPUT, stats::SweepMeasure::CALL};
  settings.calls = 7;
  settings.rounds = 9;
  settings.precision_cycles = 0.05;
  settings.seconds = 2.5;
  settings.seed = 0xFFFFFFFFFFFFFFFF;
  settings.cpu = -1;
  settings.measures_before = 1;
  settings.seconds_before = 1.25;
  stats::InputWriter writer;
  writer.Kernels({Kernel(), Kernel()});
  writer.Settings(settings);
  stats::InputReader reader(writer.bytes());
  const std::vector<stats::Procedure> kernels = reader.Kernels();
  const stats::SweepSettings back = reader.Settings();
  ASSERT_TRUE(reader.whole());
  ASSERT_EQ(kernels.size(), 2u);
  EXPECT_EQ(kernels[1].name, "mine");
  EXPECT_EQ(kernels[1].bytes, Kernel().bytes) << "a NUL byte inside is kept";
  EXPECT_EQ(kernels[1].table_row, -1);
  EXPECT_EQ(kernels[1].result, ResultRegister::ECX);
  EXPECT_EQ(kernels[1].assembly, "neg eax\n");
  EXPECT_EQ(back.measures, settings.measures);
  EXPECT_EQ(back.seed, settings.seed);
  EXPECT_EQ(back.cpu, -1);
  EXPECT_DOUBLE_EQ(back.seconds_before, 1.25);
}

TEST(ChildInput, InputCutShortOrWithBytesOverOrOutOfRangeIsNotWhole) {
  stats::InputWriter writer;
  writer.Kernel(Kernel());
  const std::string whole = writer.bytes();
  for (size_t cut : {size_t{0}, size_t{5}, whole.size() - 1}) {
    stats::InputReader reader(whole.substr(0, cut) + (cut == 5 ? std::string(3, '\xFF') : ""));
    reader.Kernel();
    EXPECT_FALSE(reader.whole()) << "cut at " << cut;
  }
  const std::string longer = whole + "x";
  stats::InputReader over(longer);
  over.Kernel();
  EXPECT_FALSE(over.whole()) << "a byte past the kernel";

  stats::InputWriter bad;
  bad.Number(3);  // one past the last measure
  stats::InputReader measure(bad.bytes());
  EXPECT_EQ(measure.Below(3), 0u);
  EXPECT_FALSE(measure.whole());
  stats::InputWriter huge;
  huge.Number(uint64_t{1} << 40);  // a text longer than all the input
  stats::InputReader text(huge.bytes());
  EXPECT_EQ(text.Text(), "");
  EXPECT_FALSE(text.whole());
}

}  // namespace
