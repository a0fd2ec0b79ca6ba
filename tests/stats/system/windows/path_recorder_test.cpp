// Paths recorded on Windows by the trap flag and a vectored handler, as the Linux recorder records
// them: straight code, loops, REP strings, code that runs too long, leaves its bytes, faults or
// turns the trap off, and the floating-point state each copy leaves behind.
#include "stats/system/path_recorder.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <x86intrin.h>

#include <chrono>
#include <vector>

namespace {

using Offsets = std::vector<uint32_t>;
using stats::RecordedPath;

// Bytes placed as the sweep places a copy: a RET after them, INT3 filler past it.
class PlacedCode {
 public:
  explicit PlacedCode(const std::vector<uint8_t>& bytes) : length_(bytes.size()) {
    page_ = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    memset(page_, 0xCC, 4096);
    std::copy(bytes.begin(), bytes.end(), page_);
    page_[length_] = 0xC3;
    DWORD was = 0;
    VirtualProtect(page_, 4096, PAGE_EXECUTE_READ, &was);
  }
  ~PlacedCode() { VirtualFree(page_, 0, MEM_RELEASE); }
  RecordedPath Record(int32_t operand = 1) const {
    return stats::RecordPath(page_, length_, operand);
  }

 private:
  uint8_t* page_;
  size_t length_;
};

RecordedPath Record(const std::vector<uint8_t>& bytes, int32_t operand = 1) {
  return PlacedCode(bytes).Record(operand);
}

TEST(RecordPathOnWindows, GivesEachInstructionInOrderARepStringOnceAndAJumpToItselfEachTime) {
  // test ebx, ebx; jns +2; neg eax: the NEG only for a negative operand
  const PlacedCode branchy({0x85, 0xDB, 0x79, 0x02, 0xF7, 0xD8});
  for (const auto& [operand, offsets] : {std::pair{1, Offsets{0, 2}}, {-1, Offsets{0, 2, 4}}}) {
    const RecordedPath path = branchy.Record(operand);
    EXPECT_EQ(path.outcome, RecordedPath::RETURNED);
    EXPECT_EQ(path.offsets, offsets) << operand;
  }
  // mov ecx, 3; dec ecx; jnz -4
  EXPECT_EQ(Record({0xB9, 3, 0, 0, 0, 0xFF, 0xC9, 0x75, 0xFC}).offsets,
            (Offsets{0, 5, 7, 5, 7, 5, 7}));
  // mov rsi, rsp; mov ecx, 3; rep lodsb: Wine steps it once a round, the path has it once
  const RecordedPath rep = Record({0x48, 0x89, 0xE6, 0xB9, 3, 0, 0, 0, 0xF3, 0xAC});
  EXPECT_EQ(rep.outcome, RecordedPath::RETURNED);
  EXPECT_EQ(rep.offsets, (Offsets{0, 3, 8}));
  EXPECT_EQ(Record({0xB9, 3, 0, 0, 0, 0xE2, 0xFE}).offsets, (Offsets{0, 5, 5, 5}));  // loop $
}

TEST(RecordPathOnWindows, CutsAPathAtItsBoundAndSaysWhenItLeavesItsBytes) {
  const RecordedPath forever = Record({0xEB, 0xFE});  // jmp $
  EXPECT_EQ(forever.outcome, RecordedPath::TOO_LONG);
  EXPECT_EQ(forever.offsets, Offsets(stats::PATH_BOUND, 0));
  const RecordedPath away = Record({0x90, 0xEB, 0x10});  // nop; onto the filler past the RET
  EXPECT_EQ(away.outcome, RecordedPath::LEFT);
  EXPECT_EQ(away.offsets, (Offsets{0, 1}));
}

TEST(RecordPathOnWindows, GivesTheExceptionOfACodeThatFaultsAndRecordsTheNextCodeStill) {
  struct Case {
    std::vector<uint8_t> bytes;
    uint32_t fault;
    const char* words;
  };
  const Case cases[] = {
      {{0x90, 0x0F, 0x0B}, 0xC000001D, "exception 0xC000001D (illegal instruction)"},  // ud2
      {{0x31, 0xC0, 0x89, 0x00}, 0xC0000005, "exception 0xC0000005 (access violation)"},
      {{0x31, 0xC9, 0xF7, 0xF1}, 0xC0000094, "exception 0xC0000094 (integer division by zero)"},
      {{0xCC}, 0x80000003, "exception 0x80000003"},  // int3
  };
  for (const Case& faulting : cases) {
    const RecordedPath path = Record(faulting.bytes);
    EXPECT_EQ(path.outcome, RecordedPath::FAULTED) << faulting.words;
    EXPECT_EQ(path.fault, faulting.fault) << faulting.words;
    EXPECT_EQ(stats::DescribeFault(path.fault).rfind(faulting.words, 0), 0u)
        << stats::DescribeFault(path.fault);
    const RecordedPath next = Record({0xF7, 0xD8});
    EXPECT_EQ(next.outcome, RecordedPath::RETURNED) << "after " << faulting.words;
    EXPECT_EQ(next.offsets, Offsets{0});
  }
}

// MXCSR and the x87 control word set to 0, every exception unmasked.
const std::vector<uint8_t> UNMASKS = {0x6A, 0x00, 0x0F, 0xAE, 0x14, 0x24,  // push 0; ldmxcsr [rsp]
                                      0xD9, 0x2C, 0x24, 0x58};             // fldcw [rsp]; pop rax
// 0/0 with SSE, then with the x87 (whose fault waits for the FSTP).
const std::vector<uint8_t> SSE_DIVIDES = {0x0F, 0x57, 0xC0, 0xF3, 0x0F, 0x5E, 0xC0};
const std::vector<uint8_t> X87_DIVIDES = {0xD9, 0xEE, 0xD8, 0xF0, 0xDD, 0xD8};
// pushfq; or dword ptr [rsp], 0x40000; popfq: the alignment-check flag set
const std::vector<uint8_t> CHECKS_ALIGNMENT = {0x9C, 0x81, 0x0C, 0x24, 0, 0, 4, 0, 0x9D};
const std::vector<uint8_t> UNALIGNED_LOAD = {0x8B, 0x44, 0x24, 0x01};  // mov eax, [rsp+1]

uint16_t X87ControlWord() {
  uint16_t word;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
}

TEST(RecordPathOnWindows, PutsTheFloatingPointStateBackAndClearsAlignmentCheckAfterEachCode) {
  const uint32_t mxcsr = _mm_getcsr();
  const uint16_t x87 = X87ControlWord();
  std::vector<uint8_t> unmasks_and_divides = UNMASKS;
  unmasks_and_divides.insert(unmasks_and_divides.end(), SSE_DIVIDES.begin(), SSE_DIVIDES.end());
  std::vector<uint8_t> checks_and_faults = CHECKS_ALIGNMENT;
  checks_and_faults.insert(checks_and_faults.end(), {0x0F, 0x0B});  // ud2
  EXPECT_EQ(Record(UNMASKS).outcome, RecordedPath::RETURNED);
  EXPECT_EQ(Record(SSE_DIVIDES).outcome, RecordedPath::RETURNED);
  EXPECT_EQ(Record(X87_DIVIDES).offsets, (Offsets{0, 2, 4}));
  const RecordedPath divides = Record(unmasks_and_divides);
  EXPECT_EQ(divides.outcome, RecordedPath::FAULTED);
  EXPECT_EQ(divides.offsets, (Offsets{0, 2, 6, 9, 10, 13})) << "up to the DIVSS";
  EXPECT_EQ(Record(SSE_DIVIDES).outcome, RecordedPath::RETURNED);
  EXPECT_EQ(Record(CHECKS_ALIGNMENT).outcome, RecordedPath::RETURNED);
  EXPECT_EQ(Record(UNALIGNED_LOAD).outcome, RecordedPath::RETURNED);
  EXPECT_EQ(Record(checks_and_faults).fault, 0xC000001Du);
  EXPECT_EQ(Record(UNALIGNED_LOAD).outcome, RecordedPath::RETURNED);
  EXPECT_EQ(_mm_getcsr() & ~0x3Fu, mxcsr & ~0x3Fu);
  EXPECT_EQ(X87ControlWord(), x87);
  EXPECT_EQ(__readeflags() & 0x40500, 0u) << "the alignment-check, trap or direction flag left";
}

// pushfq; and qword ptr [rsp], -0x101; popfq: the trap flag off
const std::vector<uint8_t> TURNS_TRAP_OFF = {0x9C, 0x48, 0x81, 0x24, 0x24,
                                             0xFF, 0xFE, 0xFF, 0xFF, 0x9D};

TEST(RecordPathOnWindows, SaysUntracedWhenTheCodeTurnsTheTrapOffAndTimedOutWhenItLoopsOrRepeats) {
  const RecordedPath untraced = Record(TURNS_TRAP_OFF);
  EXPECT_EQ(untraced.outcome, RecordedPath::UNTRACED);
  EXPECT_EQ(untraced.offsets, (Offsets{0, 1, 9}));

  std::vector<uint8_t> spins = TURNS_TRAP_OFF;
  spins.insert(spins.end(), {0xEB, 0xFE});  // jmp $
  const auto start = std::chrono::steady_clock::now();
  const RecordedPath timed_out = Record(spins);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(timed_out.outcome, RecordedPath::TIMED_OUT);
  EXPECT_EQ(timed_out.offsets, (Offsets{0, 1, 9, 10}));
  EXPECT_EQ(Record({0xF7, 0xD8}).outcome, RecordedPath::RETURNED) << "and the next code";

  // mov rsi, buffer; mov ecx, 1 << 24; rep lodsb: traced, but one instruction for ever
  static std::vector<uint8_t> buffer(1 << 20);
  std::vector<uint8_t> repeats = {0x48, 0xBE};
  const auto address = reinterpret_cast<uintptr_t>(buffer.data());
  for (int byte = 0; byte < 8; ++byte) repeats.push_back(static_cast<uint8_t>(address >> 8 * byte));
  repeats.insert(repeats.end(), {0xB9, 0, 0, 0, 1, 0xF3, 0xAC});
  const RecordedPath repeated = Record(repeats);
  EXPECT_EQ(repeated.outcome, RecordedPath::TIMED_OUT);
  EXPECT_EQ(repeated.offsets, (Offsets{0, 10, 15}));
}

}  // namespace
