// The processor's name as Linux gives it, when CPUID has none.
#include "stats/system/linux/cpuinfo.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(ProcessorModelIn, PassesOverAModelNameWithNoValueInsteadOfFailing) {
  std::istringstream cpuinfo("processor\t: 0\nmodel name\t:\nmodel name\t: Example Core 9\n");
  EXPECT_EQ(stats::ProcessorModelIn(cpuinfo), "Example Core 9");
  std::istringstream blank("model name\t: \t\n");
  EXPECT_EQ(stats::ProcessorModelIn(blank), "unknown processor");
}

}  // namespace
