// Pages for machine code.
#include "stats/system/code_arena.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(CodeArena, ThatCouldNotBeMappedIsNeverMadeExecutable) {
  stats::CodeArena arena(SIZE_MAX / 2);
  ASSERT_FALSE(arena.ok());
  EXPECT_FALSE(arena.MakeExecutable());
  EXPECT_NE(arena.error().find("cannot map"), std::string::npos) << arena.error();
}

}  // namespace
