// Kernels given on the command line (--kernel NAME=HEX, --kernel-asm NAME=TEXT), read strictly.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "stats/measure.h"
#include "stats/sweep/estimate/procedure.h"

namespace stats {

constexpr size_t MAX_USER_KERNEL_BYTES = 64;

// The kernel with the common trailer appended, or what is wrong with the argument.
// NAME=HEX (--kernel) or NAME=INSTRUCTIONS (--kernel-asm, assembled here).
std::variant<Procedure, std::string> ParseUserKernel(const UserKernelArgument& given,
                                                     const std::vector<std::string>& taken);

}  // namespace stats
