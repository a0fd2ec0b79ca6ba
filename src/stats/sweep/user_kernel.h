// Kernels given on the command line (--kernel NAME=HEX, --kernel-asm NAME=TEXT): read strictly,
// then tried in a child process under the kernel contract before anything is timed.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "stats/options.h"
#include "stats/sweep/procedures.h"

namespace stats {

constexpr size_t MAX_USER_KERNEL_BYTES = 64;

// The kernel with the common trailer appended, or what is wrong with the argument.
// NAME=HEX (--kernel) or NAME=INSTRUCTIONS (--kernel-asm, assembled here).
std::variant<Procedure, std::string> ParseUserKernel(const UserKernelArgument& given,
                                                     const std::vector<std::string>& taken);

// Empty when the kernel returns within a second, keeps RBX, RSI, RDI, RBP, R12-R15 and the stack
// pointer, and leaves the direction flag clear, for the operands 1 and -1; otherwise why not.
// Its body is also run as an inline copy; when that faults, hangs or gives another result, the
// kernel keeps its place in the call measure and gets an inline refusal for the others.
std::string CheckUserKernel(Procedure& kernel);

}  // namespace stats
