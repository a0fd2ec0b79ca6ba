// The placed loop as the calling convention of the build has it called: a table kernel runs with
// a clean check record, and the caller gets back every register it keeps whatever the kernel did.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "stats/sweep/placed/checked_chunks.h"
#include "stats/sweep/placed/loop_check.h"
#include "stats/sweep/placed/procedures.h"

extern "C" void CallWithSentinels(const void* code, uint64_t first, uint64_t second,
                                  uint64_t* after);

namespace {

constexpr size_t ABS5_OF_THE_TABLE = 5;

uint64_t LoopCallerSentinel(uint64_t n) { return 0x5E1E00005E1E0000 + 0x100000001 * n; }

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
  const char* names[] = {"RBX", "RBP", "R12", "R13", "R14", "R15"};
  for (int slot = 0; slot < 6; ++slot)
    EXPECT_EQ(after[slot], LoopCallerSentinel(slot + 1)) << names[slot];
#ifdef _WIN64
  EXPECT_EQ(after[6], LoopCallerSentinel(7)) << "RDI";
  EXPECT_EQ(after[7], LoopCallerSentinel(8)) << "RSI, the loop's counter";
  for (int xmm = 6; xmm <= 15; ++xmm) {
    EXPECT_EQ(after[8 + 2 * (xmm - 6)], LoopCallerSentinel(xmm + 3)) << "XMM" << xmm;
    EXPECT_EQ(after[9 + 2 * (xmm - 6)], LoopCallerSentinel(xmm + 3))
        << "XMM" << xmm << "'s high half";
  }
#endif
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

}  // namespace
