// The placed code: what it places, and how its pages are protected.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "bench/bench.h"
#include "kernels/kernel_table.h"
#include "stats/sweep/placed/placement.h"
#include "tests/loop_inspection.h"

namespace {

constexpr size_t ABS5_ROW = 5;

// The permissions of the mapping that holds `address`, and whether any mapping is "rwx".
std::string PermissionsAt(const void* address, bool& any_writable_and_executable) {
  std::ifstream maps("/proc/self/maps");
  const auto at = reinterpret_cast<uintptr_t>(address);
  std::string found;
  any_writable_and_executable = false;
  for (std::string line; std::getline(maps, line);) {
    std::istringstream fields(line);
    std::string range, permissions;
    fields >> range >> permissions;
    if (permissions.compare(0, 3, "rwx") == 0) any_writable_and_executable = true;
    const size_t dash = range.find('-');
    const uintptr_t start = std::stoull(range.substr(0, dash), nullptr, 16);
    const uintptr_t end = std::stoull(range.substr(dash + 1), nullptr, 16);
    if (at >= start && at < end) found = permissions.substr(0, 3);
  }
  return found;
}

TEST(PlacedCode, HoldsTheLinkedKernelAndLoopBytesWithOnlyTheCallRetargeted) {
  const std::vector<stats::Procedure> procedures = {stats::TableProcedures()[ABS5_ROW],
                                                    stats::EmptyProcedureCopy()};
  const std::vector<stats::Placement> grid = stats::GridFor(stats::SweepMeasure::CALL);
  stats::PlacedCode placed(procedures, grid);
  ASSERT_TRUE(placed.ok()) << placed.error();
  placed.Write(procedures);
  ASSERT_TRUE(placed.MakeExecutable()) << placed.error();

  const uint8_t* linked_body = FindLoopBody(CodeBytes(reinterpret_cast<const void*>(WarmUp)), 48);
  ASSERT_NE(linked_body, nullptr);
  const auto* linked_abs5 = reinterpret_cast<const uint8_t*>(KernelTable[ABS5_ROW].kernel);
  for (size_t placement = 0; placement < grid.size(); ++placement) {
    const uint8_t* kernel = placed.kernel(0, placement);
    const uint8_t* body = placed.loop_body(0, placement);
    EXPECT_EQ(std::memcmp(kernel, linked_abs5, *KernelTable[ABS5_ROW].length), 0) << placement;
    EXPECT_EQ(std::memcmp(body, linked_body, 3), 0) << placement;
    EXPECT_EQ(std::memcmp(body + 7, linked_body + 7, LOOP_BODY_SIZE - 7), 0) << placement;
    EXPECT_EQ(CallTarget(body + 2), kernel) << "the call misses the kernel at " << placement;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(body) % 64,
              static_cast<uintptr_t>(grid[placement].loop_offset));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(kernel) % 64,
              static_cast<uintptr_t>(grid[placement].kernel_offset));
    placed.loop(0, placement)(-1, 1000);  // runs and returns
  }
}

TEST(PlacedCode, IsNeverWritableAndExecutableAtOnce) {
  const std::vector<stats::Procedure> procedures = {stats::EmptyProcedureCopy()};
  stats::PlacedCode placed(procedures, stats::GridFor(stats::SweepMeasure::CALL));
  ASSERT_TRUE(placed.ok());
  bool writable_and_executable = false;
  EXPECT_EQ(PermissionsAt(placed.kernel(0, 0), writable_and_executable), "rw-");
  EXPECT_FALSE(writable_and_executable);
  placed.Write(procedures);
  EXPECT_EQ(PermissionsAt(placed.kernel(0, 0), writable_and_executable), "rw-");
  EXPECT_FALSE(writable_and_executable);
  ASSERT_TRUE(placed.MakeExecutable());
  EXPECT_EQ(PermissionsAt(placed.kernel(0, 0), writable_and_executable), "r-x");
  EXPECT_FALSE(writable_and_executable);
}

TEST(GridFor, PutsTheCallLoopAtEveryFourthByteAndTheKernelAtEverySixteenthOfABlock) {
  const std::vector<stats::Placement> grid = stats::GridFor(stats::SweepMeasure::CALL);
  std::set<std::pair<int, int>> distinct;
  std::set<int> loops, kernels;
  for (const stats::Placement& placement : grid) {
    distinct.insert({placement.loop_offset, placement.kernel_offset});
    loops.insert(placement.loop_offset);
    kernels.insert(placement.kernel_offset);
  }
  EXPECT_EQ(distinct.size(), 64u);
  EXPECT_EQ(loops, (std::set<int>{0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60}));
  EXPECT_EQ(kernels, (std::set<int>{0, 16, 32, 48}));
}

}  // namespace
