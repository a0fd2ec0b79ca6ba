// Where in the placed code a fault was, in words.
#include "stats/sweep/isolation/fault_place.h"

#include <gtest/gtest.h>

namespace {

TEST(FaultPlace, NamesTheByteOfTheCopyThatHoldsTheAddress) {
  const stats::CodeRegion called{"the kernel", {0x1000, 16, 16, 1}};
  const stats::CodeRegion inlined{"its inline copy", {0x2000, 15, 15, 1}};
  EXPECT_EQ(stats::FaultPlace(0x1000, {called, inlined}), " at byte 0 of the kernel");
  EXPECT_EQ(stats::FaultPlace(0x100F, {called, inlined}), " at byte 15 of the kernel");
  EXPECT_EQ(stats::FaultPlace(0x200D, {called, inlined}), " at byte 13 of its inline copy");
  // Copies of 9 bytes, each after 2 of glue: glue and the bytes past the last copy are not its.
  const stats::CodeRegion block{"the kernel", {0x3002, 11, 9, 32}};
  EXPECT_EQ(stats::FaultPlace(0x3002, {block}), " at byte 0 of the kernel's copy 1 of 32");
  EXPECT_EQ(stats::FaultPlace(0x3002 + 4 * 11 + 8, {block}),
            " at byte 8 of the kernel's copy 5 of 32");
  EXPECT_EQ(stats::FaultPlace(0x3002 + 9, {block}),
            " outside the kernel's bytes (at address 0x300B)");
  EXPECT_EQ(stats::FaultPlace(0x3002 + 32 * 11, {block}),
            " outside the kernel's bytes (at address 0x3162)");
  EXPECT_EQ(stats::FaultPlace(0x3001, {block}), " outside the kernel's bytes (at address 0x3001)");
}

TEST(FaultPlace, NamesAJumpToZeroAndSaysNothingWithoutKnowingWhereTheKernelLay) {
  EXPECT_EQ(stats::FaultPlace(0, {{"the kernel", {0x1000, 16, 16, 1}}}),
            " outside the kernel's bytes (at address 0x0)");
  EXPECT_EQ(stats::FaultPlace(0x1000, {}), "");
}

}  // namespace
