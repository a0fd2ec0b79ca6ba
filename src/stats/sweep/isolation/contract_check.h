// A user's kernel tried in a child process under the kernel contract before anything is timed.
#pragma once

#include <string>

#include "stats/sweep/estimate/procedure.h"
#include "stats/system/child_roles.h"

namespace stats {

struct ContractCheck {
  std::string problem;         // why the kernel cannot be measured at all; empty when it can
  std::string inline_refusal;  // why its inline copies cannot be, though it can be called
};

// The problem is empty when the kernel returns within a second, keeps RBX, RSI, RDI, RBP, R12-R15
// (XMM6-XMM15 too under the Windows x64 convention) and the stack pointer, and leaves the direction
// flag clear, for the operands 1 and -1. Its body
// is also run as an inline copy; when that faults, hangs or gives another result, the kernel
// keeps its place in the call measure and gets an inline refusal for the others.
ContractCheck CheckUserKernel(const Procedure& kernel);

// The child that runs the kernel under check.
constexpr const char* CONTRACT_CHECK_ROLE = "contract-check";
void PlayContractCheck(const std::string& input, const RoleContext& context);

}  // namespace stats
