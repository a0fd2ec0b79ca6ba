// The placed loop as the calling convention of the build has it called: a table kernel runs with
// a clean check record, and the caller gets back every register it keeps whatever the kernel did.
#include "stats/system/x86_64/calling_convention.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "stats/sweep/placed/checked_chunks.h"
#include "stats/sweep/placed/loop_check.h"
#include "stats/sweep/placed/placement.h"
#include "stats/sweep/placed/procedures.h"

extern "C" {
void CallWithSentinels(const void* code, uint64_t first, uint64_t second, uint64_t* after);
uint64_t ChainRoundsTicks(uint64_t rounds);
uint64_t WitnessRoundsTicks(uint64_t rounds);
extern const uint32_t SweepLoopBodyOffset;
extern const uint32_t BlockPrologueLength;
}

namespace {

constexpr size_t ABS5_OF_THE_TABLE = 5;

uint64_t LoopCallerSentinel(uint64_t n) { return 0x5E1E00005E1E0000 + 0x100000001 * n; }

// What CallWithSentinels found in the registers the build's calling convention keeps, told apart
// from their sentinels: empty when every one came back.
std::string ChangedOf(const uint64_t (&after)[28]) {
  std::string changed;
  const char* names[] = {"RBX", "RBP", "R12", "R13", "R14", "R15", "RDI", "RSI"};
  const int kept = stats::MICROSOFT_X64 ? 8 : 6;
  for (int slot = 0; slot < kept; ++slot) {
    if (after[slot] != LoopCallerSentinel(slot + 1)) changed += std::string(" ") + names[slot];
  }
  for (int xmm = 6; xmm <= (stats::MICROSOFT_X64 ? 15 : 5); ++xmm) {
    const uint64_t sentinel = LoopCallerSentinel(xmm + 3);
    if (after[8 + 2 * (xmm - 6)] != sentinel || after[9 + 2 * (xmm - 6)] != sentinel)
      changed += " XMM" + std::to_string(xmm);
  }
  return changed;
}

TEST(PlacedLoop, RunsATableKernelInEveryMeasureWithTheCheckRecordComingBackClean) {
  stats::SeedLoopCheck(11);
  const std::vector<stats::Procedure> procedures = {stats::TableProcedures()[ABS5_OF_THE_TABLE],
                                                    stats::EmptyProcedureCopy()};
  for (const stats::SweepMeasure measure :
       {stats::SweepMeasure::CALL, stats::SweepMeasure::LATENCY, stats::SweepMeasure::THROUGHPUT}) {
    stats::MeasureCode code(measure, procedures);
    ASSERT_TRUE(code.ok()) << code.error();
    const bool blocks = stats::IsBlock(measure);
    stats::CheckedChunks chunks(code, procedures.size(), blocks);
    for (const size_t placement : {0, 31, 63}) {
      for (const stats::Pass pass : {stats::POSITIVE, stats::NEGATIVE}) {
        EXPECT_GT(chunks.Ticks({pass, 0, placement}, blocks ? 101 : 1001), 0);
      }
    }
    EXPECT_EQ(chunks.failure(), "") << static_cast<int>(measure);
  }
}

TEST(PlacedLoop, GivesTheCallerBackEveryRegisterItKeepsThoughTheKernelWipedThem) {
  // xorps xmm6..xmm15 with themselves; xor ebp, ebp; xor r12d, r12d; mov edi, 7; ret.
  std::vector<uint8_t> wipe = {0x0F, 0x57, 0xF6, 0x0F, 0x57, 0xFF};
  for (uint8_t xmm = 0; xmm < 8; ++xmm) {
    const uint8_t same = static_cast<uint8_t>(0xC0 | xmm << 3 | xmm);
    wipe.insert(wipe.end(), {0x45, 0x0F, 0x57, same});
  }
  wipe.insert(wipe.end(), {0x31, 0xED, 0x45, 0x31, 0xE4, 0xBF, 7, 0, 0, 0, 0xC3});
  stats::Procedure kernel;
  kernel.name = "wipe";
  kernel.bytes = wipe;
  const std::vector<stats::Procedure> procedures = {kernel};
  stats::MeasureCode code(stats::SweepMeasure::CALL, procedures);
  ASSERT_TRUE(code.ok()) << code.error();

  stats::SeedLoopCheck(5);
  stats::ArmLoopCheck();
  uint64_t after[28] = {};
  const int32_t operand = -3;
  CallWithSentinels(reinterpret_cast<const void*>(code.LoopToRun({stats::NEGATIVE, 0, 9})),
                    static_cast<uint32_t>(operand), 100, after);
  EXPECT_EQ(stats::LoopCheckFailure(operand), "it changed RBP");
  EXPECT_EQ(ChangedOf(after), "");
}

TEST(ClockChains, TakeTheirRoundsWhereTheCallerPassesThemAndKeepWhatItKeeps) {
  for (const auto chain : {ChainRoundsTicks, WitnessRoundsTicks}) {
    uint64_t after[28] = {};
    CallWithSentinels(reinterpret_cast<const void*>(chain), 1000, 0, after);
    EXPECT_EQ(ChangedOf(after), "");
    EXPECT_GT(chain(1000), chain(10)) << "a hundred times the rounds take longer";
  }
}

TEST(PlacedLoop, ChecksRdiAfterEveryChunkOnlyWhereTheCallerKeepsIt) {
  // mov edi, 7; ret: what the Windows caller keeps, and the System V one passes the operand in.
  stats::Procedure kernel;
  kernel.name = "rdi";
  kernel.bytes = {0xBF, 7, 0, 0, 0, 0xC3};
  const std::vector<stats::Procedure> procedures = {kernel, stats::EmptyProcedureCopy()};
  stats::MeasureCode code(stats::SweepMeasure::CALL, procedures);
  ASSERT_TRUE(code.ok()) << code.error();
  stats::SeedLoopCheck(9);
  stats::CheckedChunks chunks(code, procedures.size(), false);
  chunks.Ticks({stats::POSITIVE, 0, 17}, 1001);
#ifdef _WIN64
  EXPECT_EQ(chunks.failure(), "it changed RDI (kept under the Windows x64 calling convention)");
#else
  EXPECT_EQ(chunks.failure(), "");
#endif
}

// A prologue longer than the room before the body would start on the page before, in another copy.
TEST(PlacedLoop, PrologueFitsInTheRoomBeforeTheBodyUnderThisConvention) {
  EXPECT_LE(SweepLoopBodyOffset, stats::LOOP_BODY_AT);
  EXPECT_LE(BlockPrologueLength, stats::LOOP_BODY_AT);
}

TEST(PlacedLoop, ChecksXmm6AfterEveryChunkOnlyWhereTheCallerKeepsItThoughAKernelWaitsToChangeIt) {
  // inc qword ptr [rsp + 8]; cmp qword ptr [rsp + 8], 100; jb +3; xorps xmm6, xmm6; ret: from its
  // 100th call on, counted where its caller's frame would be, which no chunk writes.
  stats::Procedure kernel;
  kernel.name = "late-xmm6";
  kernel.bytes = {0x48, 0xFF, 0x44, 0x24, 0x08, 0x48, 0x83, 0x7C, 0x24,
                  0x08, 0x64, 0x72, 0x03, 0x0F, 0x57, 0xF6, 0xC3};
  const std::vector<stats::Procedure> procedures = {kernel, stats::EmptyProcedureCopy()};
  stats::MeasureCode code(stats::SweepMeasure::CALL, procedures);
  ASSERT_TRUE(code.ok()) << code.error();
  stats::SeedLoopCheck(13);
  stats::CheckedChunks chunks(code, procedures.size(), false);
  // The count starts afresh: it lies just above the kernel's return address, at the stack's top.
  const uint64_t stack_top = stats::LoopCheckRecord()[14];
  *reinterpret_cast<uint64_t*>(stack_top) = 0;
  chunks.Ticks({stats::POSITIVE, 0, 17}, 51);
  EXPECT_EQ(chunks.failure(), "") << "the first 51 calls keep XMM6";
  chunks.Ticks({stats::NEGATIVE, 0, 40}, 51);
  EXPECT_EQ(chunks.failure(),
            stats::MICROSOFT_X64 ? "it changed XMM6 (kept under the Windows x64 calling convention)"
                                 : "");
}

TEST(PlacedLoop, ChecksBothHalvesOfEachOfXmm6ToXmm15WhereTheCallerKeepsThem) {
  for (int xmm = 6; xmm <= 15; ++xmm) {
    // pshufd xmmN, xmmN, 0x4E; ret, called an odd number of times: the halves swapped, which a
    // check of one half, or of another register's slots, misses.
    const auto low = static_cast<uint8_t>(xmm & 7);
    std::vector<uint8_t> bytes = {0x66};
    if (xmm >= 8) bytes.push_back(0x45);
    bytes.insert(bytes.end(),
                 {0x0F, 0x70, static_cast<uint8_t>(0xC0 | low << 3 | low), 0x4E, 0xC3});
    stats::Procedure kernel;
    kernel.name = "swap";
    kernel.bytes = bytes;
    const std::vector<stats::Procedure> procedures = {kernel, stats::EmptyProcedureCopy()};
    stats::MeasureCode code(stats::SweepMeasure::CALL, procedures);
    ASSERT_TRUE(code.ok()) << code.error();
    stats::SeedLoopCheck(21);
    stats::CheckedChunks chunks(code, procedures.size(), false);
    chunks.Ticks({stats::POSITIVE, 0, 5}, 11);
    EXPECT_EQ(chunks.failure(), stats::MICROSOFT_X64
                                    ? "it changed XMM" + std::to_string(xmm) +
                                          " (kept under the Windows x64 calling convention)"
                                    : "");
  }
}

}  // namespace
