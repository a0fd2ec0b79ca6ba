// The kernels as linked: their exact bytes and layout, and the calling contract when called.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "kernels/kernel_table.h"
#include "tests/kernels/contract_record.h"

extern "C" {
void ContractCall_EmptyProcedure(uint32_t operand, uintptr_t* record);
void ContractCall_abs0(uint32_t operand, uintptr_t* record);
void ContractCall_abs1(uint32_t operand, uintptr_t* record);
void ContractCall_abs2(uint32_t operand, uintptr_t* record);
void ContractCall_abs3(uint32_t operand, uintptr_t* record);
void ContractCall_abs4(uint32_t operand, uintptr_t* record);
void ContractCall_abs5(uint32_t operand, uintptr_t* record);
void ContractCall_abs6(uint32_t operand, uintptr_t* record);
void ContractCall_abs7(uint32_t operand, uintptr_t* record);
void ContractCall_abs8(uint32_t operand, uintptr_t* record);
void ContractCall_abs9(uint32_t operand, uintptr_t* record);
void ContractCall_abs10(uint32_t operand, uintptr_t* record);
void ContractCall_abs11(uint32_t operand, uintptr_t* record);
}

namespace {

constexpr uint8_t TRAILER[] = {0x90, 0x90, 0x90, 0x90, 0xC3};
constexpr int EAX = RECORD_RAX, ECX = RECORD_RCX, EDX = RECORD_RDX;

struct ExpectedKernel {
  const char* name;
  const char* label;
  std::vector<uint8_t> bytes;  // before the trailer
  int result_register;
  std::vector<int> changed_registers;
  void (*contract_call)(uint32_t operand, uintptr_t* record);
};

const std::vector<ExpectedKernel> EXPECTED_KERNELS = {
    {"abs0",
     " abs0 tovak\r\n",
     {0x8B, 0xC8, 0x25, 0x00, 0x00, 0x00, 0x80, 0x3D, 0x00, 0x00, 0x00, 0x80, 0x8B, 0xC1, 0x75,
      0x02, 0xF7, 0xD8},
     EAX,
     {EAX, ECX},
     ContractCall_abs0},
    {"abs1",
     " abs1 dravispo\r\n",
     {0xA9, 0x00, 0x00, 0x00, 0x80, 0x74, 0x02, 0xF7, 0xD8},
     EAX,
     {EAX},
     ContractCall_abs1},
    {"abs2",
     " abs2 zemu 1\r\n",
     {0x0B, 0xC0, 0x79, 0x02, 0xF7, 0xD8},
     EAX,
     {EAX},
     ContractCall_abs2},
    {"abs3",
     " abs3 quendis 1\r\n",
     {0x8B, 0xC8, 0xC1, 0xF8, 0x1F, 0x03, 0xC8, 0x33, 0xC8, 0x8B, 0xC1},
     EAX,
     {EAX, ECX},
     ContractCall_abs3},
    {"abs4",
     " abs4 quendis 2\r\n",
     {0x8B, 0xC8, 0xC1, 0xF8, 0x1F, 0x03, 0xC8, 0x33, 0xC8},
     ECX,
     {EAX, ECX},
     ContractCall_abs4},
    {"abs5", " abs5 wobla\r\n", {0x99, 0x33, 0xC2, 0x2B, 0xC2}, EAX, {EAX, EDX}, ContractCall_abs5},
    {"abs6",
     " abs6 kebrun\r\n",
     {0x3D, 0x00, 0x00, 0x00, 0x80, 0x72, 0x02, 0xF7, 0xD8},
     EAX,
     {EAX},
     ContractCall_abs6},
    {"abs7",
     " abs7 falno 1\r\n",
     {0x8B, 0xC8, 0xF7, 0xD9, 0x85, 0xC0, 0x0F, 0x48, 0xC1},
     EAX,
     {EAX, ECX},
     ContractCall_abs7},
    {"abs8",
     " abs8 falno 2\r\n",
     {0x83, 0xC0, 0x00, 0x79, 0x02, 0xF7, 0xD8},
     EAX,
     {EAX},
     ContractCall_abs8},
    {"abs9",
     " abs9 Ostrabine 1\r\n",
     {0x85, 0xC0, 0x79, 0x02, 0xF7, 0xD8},
     EAX,
     {EAX},
     ContractCall_abs9},
    {"abs10",
     " abs10 Ostrabine 2\r\n",
     {0x0F, 0xBA, 0xE0, 0x1F, 0x73, 0x02, 0xF7, 0xD8},
     EAX,
     {EAX},
     ContractCall_abs10},
    {"abs11",
     " abs11 zemu 2\r\n",
     {0x8B, 0xD0, 0xF7, 0xDA, 0x0F, 0x49, 0xC2},
     EAX,
     {EAX, EDX},
     ContractCall_abs11},
};

#if defined(__x86_64__)
const char* const REGISTER_NAMES[RECORD_SIZE] = {"RAX", "RCX", "RDX", "RBX", "RSI",        "RDI",
                                                 "RBP", "R8",  "R9",  "R10", "R11",        "R12",
                                                 "R13", "R14", "R15", "RSP", "RSP (after)"};
#else
const char* const REGISTER_NAMES[RECORD_SIZE] = {"EAX", "ECX", "EDX", "EBX",        "ESI",
                                                 "EDI", "EBP", "ESP", "ESP (after)"};
#endif

uintptr_t contract_record[RECORD_SIZE];

const uint8_t* StartOf(KernelProcedure* kernel) { return reinterpret_cast<const uint8_t*>(kernel); }

TEST(KernelTable, ListsTheTwelveKernelsInOrderWithTheirLabelsAndOwnBuffers) {
  for (int row = 0; row < KERNEL_COUNT; ++row) {
    const KernelSlot& slot = KernelTable[row];
    const ExpectedKernel& expected = EXPECTED_KERNELS[row];
    EXPECT_STREQ(slot.name, expected.name) << "row " << row;
    EXPECT_STREQ(slot.label, expected.label) << expected.name;
    for (int other = 0; other < row; ++other) {
      EXPECT_GE(std::abs(slot.number_text - KernelTable[other].number_text),
                static_cast<long>(NUMBER_TEXT_SIZE))
          << expected.name << " shares its number buffer with " << KernelTable[other].name;
      EXPECT_NE(slot.time_kernel, KernelTable[other].time_kernel) << expected.name;
    }
  }
}

TEST(Kernels, AreExactlyTheirTableBytesThenTheTrailerThenInt3UpToTheNextBoundary) {
  for (int row = 0; row < KERNEL_COUNT; ++row) {
    const ExpectedKernel& expected = EXPECTED_KERNELS[row];
    const uint8_t* code = StartOf(KernelTable[row].kernel);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(code) % 16, 0u) << expected.name << " is not aligned";
    std::vector<uint8_t> whole = expected.bytes;
    whole.insert(whole.end(), std::begin(TRAILER), std::end(TRAILER));
    while (whole.size() % 16 != 0) whole.push_back(0xCC);
    for (size_t i = 0; i < whole.size(); ++i) {
      EXPECT_EQ(code[i], whole[i]) << expected.name << " byte " << i;
    }
  }
}

TEST(Kernels, DoNotOverlapEachOtherOrTheEmptyProcedure) {
  std::vector<std::pair<const uint8_t*, size_t>> extents;
  for (int row = 0; row < KERNEL_COUNT; ++row) {
    extents.emplace_back(StartOf(KernelTable[row].kernel),
                         EXPECTED_KERNELS[row].bytes.size() + sizeof TRAILER);
  }
  extents.emplace_back(StartOf(EmptyProcedure), sizeof TRAILER);
  std::sort(extents.begin(), extents.end());
  for (size_t i = 1; i < extents.size(); ++i) {
    EXPECT_LE(extents[i - 1].first + extents[i - 1].second, extents[i].first);
  }
}

uint32_t WrappingAbsolute(uint32_t operand) {
  return static_cast<int32_t>(operand) < 0 ? 0u - operand : operand;
}

// Checks one call; returns false after the first failure so that a broken kernel reports once.
bool CallsCorrectly(const ExpectedKernel& kernel, uint32_t operand) {
  kernel.contract_call(operand, contract_record);
  const auto result = static_cast<uint32_t>(contract_record[kernel.result_register]);
  bool correct = true;
  auto check = [&](bool condition) -> ::testing::AssertionResult {
    correct = correct && condition;
    return condition ? ::testing::AssertionSuccess() : ::testing::AssertionFailure();
  };
  EXPECT_TRUE(check(result == WrappingAbsolute(operand)))
      << kernel.name << "(0x" << std::hex << operand << ") left 0x" << result << " in "
      << REGISTER_NAMES[kernel.result_register];
  if (kernel.result_register == ECX) {
    const uint32_t mask = static_cast<int32_t>(operand) < 0 ? 0xFFFFFFFFu : 0u;
    EXPECT_TRUE(check(static_cast<uint32_t>(contract_record[EAX]) == mask))
        << kernel.name << "(0x" << std::hex << operand << ") left 0x" << contract_record[EAX]
        << " in EAX instead of the sign mask";
  }
  for (int reg = 0; reg < RECORD_RSP_BEFORE; ++reg) {
    const auto& allowed = kernel.changed_registers;
    if (std::find(allowed.begin(), allowed.end(), reg) != allowed.end()) continue;
    EXPECT_TRUE(check(contract_record[reg] == static_cast<uintptr_t>(SENTINEL(reg))))
        << kernel.name << "(0x" << std::hex << operand << ") changed " << REGISTER_NAMES[reg];
  }
  EXPECT_TRUE(check(contract_record[RECORD_RSP_AFTER] == contract_record[RECORD_RSP_BEFORE]))
      << kernel.name << " returned with the stack pointer moved";
  return correct;
}

TEST(Kernels, KeepTheCallingContractForEdgeAndPseudoRandomOperands) {
  const uint32_t edges[] = {1, 0xFFFFFFFF, 0, 0x80000000, 0x7FFFFFFF, 0x80000001, 2, 0xFFFFFFFE};
  for (const ExpectedKernel& kernel : EXPECTED_KERNELS) {
    bool correct = true;
    for (uint32_t operand : edges) correct = correct && CallsCorrectly(kernel, operand);
    std::mt19937 generator(0xABCDEF);
    for (int i = 0; correct && i < 100000; ++i) correct = CallsCorrectly(kernel, generator());
  }
}

TEST(EmptyProcedure, ChangesNoRegisterAtAll) {
  ContractCall_EmptyProcedure(0x12345678, contract_record);
  for (int reg = RECORD_RCX; reg < RECORD_RSP_BEFORE; ++reg) {
    EXPECT_EQ(contract_record[reg], static_cast<uintptr_t>(SENTINEL(reg))) << REGISTER_NAMES[reg];
  }
  EXPECT_EQ(contract_record[RECORD_RAX], 0x12345678u);
  EXPECT_EQ(contract_record[RECORD_RSP_AFTER], contract_record[RECORD_RSP_BEFORE]);
}

}  // namespace
