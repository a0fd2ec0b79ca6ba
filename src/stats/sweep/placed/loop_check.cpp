#include "stats/sweep/placed/loop_check.h"

#include <array>
#include <cstring>
#include <memory>

#include "stats/system/guarded_pages.h"
#include "stats/system/x86_64/calling_convention.h"

namespace stats {

namespace {

// As much as a thread's stack usually has: a kernel may use the stack freely.
constexpr size_t KERNEL_STACK_BYTES = 8 << 20;
// Between the kernel's first stack pointer and the guard page above: a kernel may read or write
// its caller's frame there (a Windows callee's 32 bytes of shadow space among it) and reach
// nothing but its own stack.
constexpr size_t ROOM_ABOVE = 4096;
constexpr uint64_t DIRECTION_FLAG = 1 << 10;

// The slots, as sweep_code.S numbers them (8 bytes each).
enum Slot {
  GIVEN = 0,  // RBX (unused: the operand goes there), RBP, R12-R15
  FOUND = 6,  // the same six after the loop
  CALLER_RSP = 12,
  KERNEL_RSP_AFTER = 13,
  KERNEL_STACK_TOP = 14,
  FLAGS_AFTER = 15,
  CALLER_KEPT = 16,  // the caller's RBX, RBP, R12-R15
  // Under the Microsoft convention only: RDI as given and as found, the caller's RDI and RSI,
  // and XMM6-XMM15 as the caller had them, as given and as found, two slots each.
  GIVEN_RDI = 22,
  FOUND_RDI = 23,
  CALLER_RDI_RSI = 24,
  CALLER_XMM = 26,
  GIVEN_XMM = CALLER_XMM + 2 * 10,
  FOUND_XMM = GIVEN_XMM + 2 * 10,
  SLOTS = FOUND_XMM + 2 * 10
};
constexpr std::array<const char*, 6> KEPT_NAMES = {"RBX", "RBP", "R12", "R13", "R14", "R15"};

uint64_t SplitMix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

// The record the placed code reads and writes, which a kernel can find and write too: what it is
// given is written afresh before every chunk from the copy apart from it, and what is found after
// is held to that copy, so what one kernel writes there lasts no longer than its own chunk.
struct CheckState {
  CheckState() { Seed(0); }
  void Seed(uint64_t seed) {
    uint64_t mixed = seed ^ 0x5E07C4EC;
    for (size_t slot = GIVEN + 1; slot < FOUND; ++slot) given[slot] = SplitMix(mixed);
    given[GIVEN_RDI] = SplitMix(mixed);
    for (size_t slot = GIVEN_XMM; slot < FOUND_XMM; ++slot) given[slot] = SplitMix(mixed);
  }
  alignas(64) std::array<uint64_t, SLOTS> record{};
  std::array<uint64_t, SLOTS> given{};
  std::unique_ptr<GuardedPages> stack;
};

CheckState& State() {
  static CheckState state;
  return state;
}

}  // namespace

uint64_t* LoopCheckRecord() {
  CheckState& state = State();
  if (!state.stack) {
    state.stack = std::make_unique<GuardedPages>(KERNEL_STACK_BYTES + ROOM_ABOVE);
    if (state.stack->ok()) {
      // Aligned as at a call site, so that the loop's CALL enters the kernel as a caller would.
      const auto top = reinterpret_cast<uintptr_t>(state.stack->end() - ROOM_ABOVE);
      state.given[KERNEL_STACK_TOP] = top & ~uintptr_t{15};
      ArmLoopCheck();
    }
  }
  return state.stack->ok() ? state.record.data() : nullptr;
}

const std::string& LoopCheckError() {
  static const std::string none;
  return State().stack ? State().stack->error() : none;
}

void WriteLoopCheckAddress(uint8_t* at) {
  const uint64_t* record = LoopCheckRecord();
  std::memcpy(at, &record, sizeof record);
}

void SeedLoopCheck(uint64_t seed) { State().Seed(seed); }

void ArmLoopCheck() {
  CheckState& state = State();
  state.record = state.given;
  // What no epilogue leaves: a run that never reached one fails the check.
  state.record[KERNEL_RSP_AFTER] = ~state.given[KERNEL_STACK_TOP];
}

std::string LoopCheckFailure(int32_t operand) {
  const std::array<uint64_t, SLOTS>& record = State().record;
  const std::array<uint64_t, SLOTS>& given = State().given;
  if (record[KERNEL_RSP_AFTER] != given[KERNEL_STACK_TOP]) {
    const auto moved = static_cast<int64_t>(record[KERNEL_RSP_AFTER] - given[KERNEL_STACK_TOP]);
    return "it moved the stack pointer by " + std::to_string(moved) + " bytes";
  }
  if (record[FOUND] != static_cast<uint32_t>(operand)) return "it changed RBX";
  for (size_t kept = 1; kept < KEPT_NAMES.size(); ++kept) {
    if (record[FOUND + kept] != given[GIVEN + kept])
      return std::string("it changed ") + KEPT_NAMES[kept];
  }
  // In words that say why, since the same kernel is measured on Linux, where RDI is not kept.
  if (MICROSOFT_X64 && record[FOUND_RDI] != given[GIVEN_RDI])
    return "it changed RDI (kept under the Windows x64 calling convention)";
  for (int xmm = 0; xmm < KEPT_XMM_REGISTERS; ++xmm) {
    const size_t found = FOUND_XMM + 2 * xmm, given_at = GIVEN_XMM + 2 * xmm;
    if (record[found] != given[given_at] || record[found + 1] != given[given_at + 1])
      return "it changed XMM" + std::to_string(6 + xmm) +
             " (kept under the Windows x64 calling convention)";
  }
  if ((record[FLAGS_AFTER] & DIRECTION_FLAG) != 0) return "it left the direction flag set";
  return "";
}

}  // namespace stats
