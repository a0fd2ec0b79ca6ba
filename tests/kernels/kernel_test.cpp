// The kernels as linked: their layout and lengths, and the calling contract when called. Their
// exact bytes are checked on the shipped program's file (tests/build/check_shipped_code.cmake).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "kernels/kernel_table.h"
#include "tests/kernels/contract_record.h"

using ContractCall = void(uint32_t operand, uintptr_t* record);

#define DECLARE_CONTRACT_CALL(name, label, result) ContractCall ContractCall_##name;
extern "C" {
ContractCall ContractCall_EmptyProcedure;
KERNEL_LIST(DECLARE_CONTRACT_CALL)
}

namespace {

#define CONTRACT_CALL_ROW(name, label, result) ContractCall_##name,
ContractCall* const CONTRACT_CALLS[KERNEL_COUNT] = {KERNEL_LIST(CONTRACT_CALL_ROW)};

constexpr uint8_t TRAILER[] = {0x90, 0x90, 0x90, 0x90, 0xC3};
constexpr int EAX = RECORD_RAX, ECX = RECORD_RCX, EDX = RECORD_RDX;

// Which registers a kernel changes. The contract allows EAX, ECX and EDX; the kernels below are
// documented to change no more than this. Where each leaves its result comes from the kernel list.
std::vector<int> ChangedRegistersOf(const std::string& name) {
  static const std::map<std::string, std::vector<int>> documented = {
      {"abs0", {EAX, ECX}}, {"abs1", {EAX}},      {"abs2", {EAX}},  {"abs3", {EAX, ECX}},
      {"abs4", {EAX, ECX}}, {"abs5", {EAX, EDX}}, {"abs6", {EAX}},  {"abs7", {EAX, ECX}},
      {"abs8", {EAX}},      {"abs9", {EAX}},      {"abs10", {EAX}}, {"abs11", {EAX, EDX}},
  };
  const auto found = documented.find(name);
  return found != documented.end() ? found->second : std::vector<int>{EAX, ECX, EDX};
}

int ResultRecordOf(int row) { return KernelTable[row].result == ResultRegister::ECX ? ECX : EAX; }

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

TEST(KernelTable, GivesEveryKernelALabelThatNamesItAndEndsWithCrLf) {
  for (const KernelSlot& slot : KernelTable) {
    const std::string label = slot.label;
    EXPECT_EQ(label.rfind(" " + std::string(slot.name) + " ", 0), 0u) << slot.name << ": " << label;
    EXPECT_EQ(label.substr(label.size() - 2), "\r\n") << slot.name;
    EXPECT_EQ(label.find_first_of("\r\n"), label.size() - 2) << slot.name;
  }
}

TEST(Kernels, StartOnASixteenByteBoundaryAndEndWithTheTrailerThenInt3UpToTheNextBoundary) {
  for (const KernelSlot& slot : KernelTable) {
    const uint8_t* code = StartOf(slot.kernel);
    const uint32_t length = *slot.length;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(code) % 16, 0u) << slot.name << " is not aligned";
    ASSERT_GT(length, sizeof TRAILER) << slot.name;
    EXPECT_EQ(std::memcmp(code + length - sizeof TRAILER, TRAILER, sizeof TRAILER), 0)
        << slot.name << " does not end with four NOPs and RET";
    for (uint32_t i = length; i % 16 != 0; ++i) {
      EXPECT_EQ(code[i], 0xCC) << slot.name << " filler byte " << i;
    }
  }
}

TEST(Kernels, DoNotOverlapEachOtherOrTheEmptyProcedure) {
  std::vector<std::pair<const uint8_t*, size_t>> extents;
  for (const KernelSlot& slot : KernelTable)
    extents.emplace_back(StartOf(slot.kernel), *slot.length);
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
bool CallsCorrectly(int row, uint32_t operand) {
  const char* name = KernelTable[row].name;
  const int result_register = ResultRecordOf(row);
  const std::vector<int> allowed = ChangedRegistersOf(name);
  CONTRACT_CALLS[row](operand, contract_record);
  const auto result = static_cast<uint32_t>(contract_record[result_register]);
  bool correct = true;
  auto check = [&](bool condition) -> ::testing::AssertionResult {
    correct = correct && condition;
    return condition ? ::testing::AssertionSuccess() : ::testing::AssertionFailure();
  };
  EXPECT_TRUE(check(result == WrappingAbsolute(operand)))
      << name << "(0x" << std::hex << operand << ") left 0x" << result << " in "
      << REGISTER_NAMES[result_register];
  if (result_register == ECX) {
    const uint32_t mask = static_cast<int32_t>(operand) < 0 ? 0xFFFFFFFFu : 0u;
    EXPECT_TRUE(check(static_cast<uint32_t>(contract_record[EAX]) == mask))
        << name << "(0x" << std::hex << operand << ") left 0x" << contract_record[EAX]
        << " in EAX instead of the sign mask";
  }
  for (int reg = 0; reg < RECORD_RSP_BEFORE; ++reg) {
    if (std::find(allowed.begin(), allowed.end(), reg) != allowed.end()) continue;
    EXPECT_TRUE(check(contract_record[reg] == static_cast<uintptr_t>(SENTINEL(reg))))
        << name << "(0x" << std::hex << operand << ") changed " << REGISTER_NAMES[reg];
  }
  EXPECT_TRUE(check(contract_record[RECORD_RSP_AFTER] == contract_record[RECORD_RSP_BEFORE]))
      << name << " returned with the stack pointer moved";
  return correct;
}

TEST(Kernels, KeepTheCallingContractForEdgeAndPseudoRandomOperands) {
  const uint32_t edges[] = {1, 0xFFFFFFFF, 0, 0x80000000, 0x7FFFFFFF, 0x80000001, 2, 0xFFFFFFFE};
  for (int row = 0; row < KERNEL_COUNT; ++row) {
    bool correct = true;
    for (uint32_t operand : edges) correct = correct && CallsCorrectly(row, operand);
    std::mt19937 generator(0xABCDEF);
    for (int i = 0; correct && i < 100000; ++i) correct = CallsCorrectly(row, generator());
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
