// The benchmark's two passes, each beside its operand: branchy kernels skip their NEG in the first
// and take it in the second.
#pragma once

#include <array>
#include <cstdint>

namespace stats {

enum Pass { POSITIVE, NEGATIVE };
constexpr std::array<const char*, 2> PASS_NAMES = {"positive", "negative"};
constexpr std::array<int32_t, 2> PASS_OPERANDS = {1, -1};

}  // namespace stats
