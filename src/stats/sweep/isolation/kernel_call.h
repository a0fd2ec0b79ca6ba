// One call of a kernel as the contract check makes it, in the process that may run the kernel:
// sentinels in every register its caller keeps, and what they hold afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace stats {

// What CheckedKernelCall records, in its order (sweep_code.S): RBX, RSI, RDI, RBP, R12-R15,
// RFLAGS, the stack pointer after and before the call, RAX, then XMM6-XMM15 in two slots each.
constexpr size_t KERNEL_CALL_SLOTS = 32;
using KernelCallRecord = std::array<uint64_t, KERNEL_CALL_SLOTS>;

KernelCallRecord CallKernelChecked(const void* kernel, int32_t operand);

// What the call broke of the contract for `operand`, in words ("it changes RDI (operand 1); a
// kernel keeps ..."); empty when it kept everything the calling convention asks.
std::string BrokenContract(const KernelCallRecord& record, int32_t operand);

// Whether a call of an inline copy ending in InlineCheckEnd (sweep_code.S) came back by a RET among
// the kernel's bytes rather than through that end, which inverts RBX.
bool ReturnedBeforeItsEnd(const KernelCallRecord& record);

// The result the kernel left in EAX.
uint32_t KernelResult(const KernelCallRecord& record);

}  // namespace stats
