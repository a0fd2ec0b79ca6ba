// The contract check's call of a kernel: what it names as broken follows the calling convention
// of the build, XMM6-XMM15 kept only under Windows'.
#include "stats/sweep/isolation/kernel_call.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "stats/sweep/placed/procedures.h"
#include "stats/system/code_arena.h"

namespace {

// `bytes`, with a RET after them, called once with `operand` under the check.
stats::KernelCallRecord CalledUnderCheck(std::vector<uint8_t> bytes, int32_t operand) {
  bytes.push_back(0xC3);
  stats::CodeArena arena(bytes.size());
  EXPECT_TRUE(arena.ok()) << arena.error();
  std::memcpy(arena.writable(), bytes.data(), bytes.size());
  EXPECT_TRUE(arena.MakeExecutable()) << arena.error();
  return stats::CallKernelChecked(arena.bytes(), operand);
}

std::string ContractBrokenBy(const std::vector<uint8_t>& bytes) {
  return stats::BrokenContract(CalledUnderCheck(bytes, 1), 1);
}

TEST(BrokenContract, NamesTheRegistersEveryCallerKeepsAndXmm6To15OnlyUnderWindows) {
#ifdef _WIN64
  const std::string kept =
      " (operand 1); a kernel keeps RBX, RSI, RDI, RBP, R12-R15, XMM6-XMM15 and the stack pointer, "
      "as the Windows x64 calling convention asks (Linux's asks for no XMM register)";
  const std::string xmm6 = "it changes XMM6" + kept, xmm7 = "it changes XMM7" + kept,
                    xmm15 = "it changes XMM15" + kept;
#else
  const std::string kept =
      " (operand 1); a kernel keeps RBX, RSI, RDI, RBP, R12-R15 and the stack pointer";
  const std::string xmm6, xmm7, xmm15;
#endif
  const struct {
    std::vector<uint8_t> body;
    std::string broken;
  } cases[] = {
      {{0xBF, 0, 0, 0, 0}, "it changes RDI" + kept},  // mov edi, 0
      {{0x31, 0xF6}, "it changes RSI" + kept},        // xor esi, esi
      {{0x0F, 0x57, 0xF6}, xmm6},                     // xorps xmm6, xmm6
      {{0x0F, 0x16, 0xF8}, xmm7},                     // movlhps xmm7, xmm0: its high half only
      {{0x45, 0x0F, 0x57, 0xFF}, xmm15},              // xorps xmm15, xmm15
      {{0x66, 0x0F, 0xEF, 0xED}, ""},                 // pxor xmm5, xmm5: no caller keeps it
  };
  for (const auto& kernel : cases) {
    EXPECT_EQ(ContractBrokenBy(kernel.body), kernel.broken) << kernel.body.size() << " bytes";
  }
}

TEST(CallKernelChecked, HandsEveryTableKernelItsOperandAndFindsItKeepingTheContract) {
  for (const stats::Procedure& kernel : stats::TableProcedures()) {
    for (const int32_t operand : {-5, 7}) {
      const stats::KernelCallRecord record = CalledUnderCheck(kernel.bytes, operand);
      if (kernel.result == ResultRegister::EAX) {
        EXPECT_EQ(stats::KernelResult(record), operand < 0 ? 5u : 7u) << kernel.name;
      }
      EXPECT_EQ(stats::BrokenContract(record, operand), "") << kernel.name;
    }
  }
}

}  // namespace
