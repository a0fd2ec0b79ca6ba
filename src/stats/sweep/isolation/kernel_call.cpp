#include "stats/sweep/isolation/kernel_call.h"

#include "stats/system/x86_64/calling_convention.h"

extern "C" void CheckedKernelCall(const void* kernel, int32_t operand, uint64_t* record);

namespace stats {

namespace {

enum CallSlot { RBX, RSI, RDI, RBP, R12, R13, R14, R15, FLAGS, RSP_AFTER, RSP_BEFORE, RAX, XMM6 };
constexpr int CALL_KEPT_COUNT = R15 + 1;
static_assert(XMM6 + 2 * 10 == KERNEL_CALL_SLOTS);

// The sentinels CheckedKernelCall loads before the call; each XMM register holds its sentinel in
// both halves.
constexpr uint64_t CALL_SENTINELS[CALL_KEPT_COUNT] = {
    0x5E0700035E070003, 0x5E0700045E070004, 0x5E0700055E070005, 0x5E0700065E070006,
    0x5E0700075E070007, 0x5E0700085E070008, 0x5E0700095E070009, 0x5E07000A5E07000A};
constexpr const char* CALL_KEPT_NAMES[CALL_KEPT_COUNT] = {"RBX", "RSI", "RDI", "RBP",
                                                          "R12", "R13", "R14", "R15"};
constexpr uint64_t XMM6_SENTINEL = 0x5E0700105E070010;
constexpr uint64_t XMM_SENTINEL_STEP = 0x0000000100000001;
constexpr uint64_t CALL_DIRECTION_FLAG = 0x400;

}  // namespace

KernelCallRecord CallKernelChecked(const void* kernel, int32_t operand) {
  KernelCallRecord record{};
  CheckedKernelCall(kernel, operand, record.data());
  return record;
}

std::string BrokenContract(const KernelCallRecord& record, int32_t operand) {
  const std::string in_words = " (operand " + std::to_string(operand) + ")";
  const std::string kept = std::string("; a kernel keeps ") + KEPT_BY_A_KERNEL;
  for (int slot = RBX; slot < CALL_KEPT_COUNT; ++slot) {
    if (record[slot] != CALL_SENTINELS[slot]) {
      return std::string("it changes ") + CALL_KEPT_NAMES[slot] + in_words + kept;
    }
  }
  for (int xmm = 0; xmm < KEPT_XMM_REGISTERS; ++xmm) {
    const uint64_t sentinel = XMM6_SENTINEL + XMM_SENTINEL_STEP * xmm;
    if (record[XMM6 + 2 * xmm] != sentinel || record[XMM6 + 2 * xmm + 1] != sentinel) {
      return "it changes XMM" + std::to_string(6 + xmm) + in_words + kept;
    }
  }
  if (record[RSP_AFTER] != record[RSP_BEFORE]) {
    return "it returns with the stack pointer moved" + in_words;
  }
  if ((record[FLAGS] & CALL_DIRECTION_FLAG) != 0) {
    return "it returns with the direction flag set" + in_words + "; a kernel leaves it clear";
  }
  return "";
}

bool ReturnedBeforeItsEnd(const KernelCallRecord& record) {
  return record[RBX] != ~CALL_SENTINELS[RBX];
}

uint32_t KernelResult(const KernelCallRecord& record) { return static_cast<uint32_t>(record[RAX]); }

}  // namespace stats
