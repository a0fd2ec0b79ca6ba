// The shipped timed loops and the empty procedure, read from memory, never run.
#include <gtest/gtest.h>

#include "bench/bench.h"
#include "platform/platform.h"
#include "tests/loop_inspection.h"

namespace {

constexpr size_t SEARCH_WINDOW = 48;

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

TEST(TimeKernelOfEmptyProcedure, ReadsTheCounterRightAroundTheFixedBody) {
  const uint8_t* code = CodeBytes(reinterpret_cast<const void*>(TimeKernel_EmptyProcedure));
  const uint8_t* body = FindLoopBody(code, SEARCH_WINDOW);
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(CallTarget(body + 2), CodeBytes(reinterpret_cast<const void*>(EmptyProcedure)));
  EXPECT_TRUE(LoadsIterationCount(code, body));
  const auto* tick = reinterpret_cast<const void*>(PlatformTickCount);
  EXPECT_EQ(CallsTo(tick, code, body), 1) << "one reading before the loop";
  const uint8_t* after = body + LOOP_BODY_SIZE;
  ASSERT_EQ(after[0], 0xE8) << "the end time is read straight after the loop";
  EXPECT_EQ(CallTarget(after), tick);
}

}  // namespace
