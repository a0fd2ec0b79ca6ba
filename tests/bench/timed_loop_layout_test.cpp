// The shipped timed loops, read from memory, never run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/bench.h"
#include "kernels/kernel_table.h"
#include "platform/platform.h"
#include "tests/loop_inspection.h"

namespace {

constexpr size_t SEARCH_WINDOW = 48;

struct LoopCopy {
  std::string name;
  const void* loop;
  const void* procedure;
};

std::vector<LoopCopy> TimedLoopCopies() {
  std::vector<LoopCopy> copies = {{"EmptyProcedure",
                                   reinterpret_cast<const void*>(TimeKernel_EmptyProcedure),
                                   reinterpret_cast<const void*>(EmptyProcedure)}};
  for (int row = 0; row < KERNEL_COUNT; ++row) {
    copies.push_back({KernelTable[row].name, reinterpret_cast<const void*>(TimedLoops[row]),
                      reinterpret_cast<const void*>(KernelTable[row].kernel)});
  }
  return copies;
}

TEST(EmptyProcedure, IsTheTrailerAloneOnASixteenByteBoundaryFollowedByInt3) {
  const uint8_t* code = CodeBytes(reinterpret_cast<const void*>(EmptyProcedure));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(code) % 16, 0u);
  const uint8_t expected[16] = {0x90, 0x90, 0x90, 0x90, 0xC3, 0xCC, 0xCC, 0xCC,
                                0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(code[i], expected[i]) << "byte " << i;
}

TEST(WarmUp, RunsTheFixedBodyAroundTheEmptyProcedureWithoutReadingTheCounter) {
  const uint8_t* code = CodeBytes(reinterpret_cast<const void*>(WarmUp));
  const uint8_t* body = FindLoopBody(code, SEARCH_WINDOW);
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(CallTarget(body + 2), CodeBytes(reinterpret_cast<const void*>(EmptyProcedure)));
  EXPECT_TRUE(LoadsIterationCount(code, body));
  EXPECT_EQ(CallsTo(reinterpret_cast<const void*>(PlatformTickCount), code, body), 0);
}

TEST(TimedLoops, CallTheirOwnProcedureDirectlyInTheFixedBodyBetweenTwoCounterReadings) {
  const auto* tick = reinterpret_cast<const void*>(PlatformTickCount);
  for (const LoopCopy& copy : TimedLoopCopies()) {
    const uint8_t* code = CodeBytes(copy.loop);
    const uint8_t* body = FindLoopBody(code, SEARCH_WINDOW);
    ASSERT_NE(body, nullptr) << "no fixed loop body in the copy for " << copy.name;
    EXPECT_EQ(CallTarget(body + 2), copy.procedure)
        << "the copy for " << copy.name << " calls another procedure";
    EXPECT_TRUE(LoadsIterationCount(code, body))
        << "the copy for " << copy.name << " does not count 0x3B9ACA00 calls";
    EXPECT_EQ(CallsTo(tick, code, body), 1) << copy.name << ": one reading before the loop";
    const uint8_t* after = body + LOOP_BODY_SIZE;
    EXPECT_TRUE(after[0] == 0xE8 && CallTarget(after) == tick)
        << copy.name << ": the end time is not read straight after the loop";
  }
}

}  // namespace
