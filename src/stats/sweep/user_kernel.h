// Kernels given on the command line (--kernel NAME=HEX): read strictly, then tried once in a child
// process under the kernel contract before anything is timed.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "stats/sweep/procedures.h"

namespace stats {

constexpr size_t MAX_USER_KERNEL_BYTES = 64;

// The kernel with the common trailer appended, or what is wrong with the argument.
std::variant<Procedure, std::string> ParseUserKernel(const std::string& argument,
                                                     const std::vector<std::string>& taken);

// Empty when the kernel returns within a second, keeps RBX, RSI, RDI, RBP, R12-R15 and the stack
// pointer, and leaves the direction flag clear, for the operands 1 and -1; otherwise why not.
std::string CheckUserKernel(const Procedure& kernel);

}  // namespace stats
