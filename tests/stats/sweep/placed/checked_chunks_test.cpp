// Every timed chunk is checked as it ends: what a kernel must keep, and a floor under which only a
// loop cut short can fall.
#include "stats/sweep/placed/checked_chunks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stats/sweep/placed/loop_check.h"
#include "stats/sweep/placed/procedures.h"

namespace {

using Bytes = std::vector<uint8_t>;

stats::Procedure KernelOf(const Bytes& body) {
  stats::Procedure kernel;
  kernel.name = "k";
  kernel.bytes = body;
  const Bytes trailer = stats::EmptyProcedureCopy().bytes;
  kernel.bytes.insert(kernel.bytes.end(), trailer.begin(), trailer.end());
  return kernel;
}

// What the checks say of `body` timed as `measure` at a few placements in both passes, the empty
// procedure's chunks between, in chunks of an odd count as the sweep's; empty when nothing failed.
std::string FailureOf(stats::SweepMeasure measure, const Bytes& body) {
  stats::SeedLoopCheck(7);
  const std::vector<stats::Procedure> procedures = {KernelOf(body), stats::EmptyProcedureCopy()};
  stats::MeasureCode code(measure, procedures);
  EXPECT_TRUE(code.ok()) << code.error();
  const bool blocks = stats::IsBlock(measure);
  stats::CheckedChunks chunks(code, procedures.size(), blocks);
  for (const size_t placement : {0, 7, 63}) {
    for (const stats::Pass pass : {stats::POSITIVE, stats::NEGATIVE}) {
      for (size_t at = 0; at < (blocks ? 4u : 2u); ++at) {
        chunks.Ticks({pass, at, placement}, blocks ? 101 : 1001);
        if (!chunks.failure().empty()) return chunks.failure();
      }
    }
  }
  return "";
}

TEST(CheckedChunks, NameTheRegisterAKernelChangedHowFarItMovedTheStackOrTheFlagItLeftSet) {
  const struct {
    Bytes body;
    std::string failure;
  } cases[] = {
      {{0x53, 0xBB, 0x05, 0, 0, 0, 0x5B}, ""},  // push rbx; mov ebx, 5; pop rbx
      {{0x31, 0xDB}, "it changed RBX"},         // xor ebx, ebx
      {{0xBD, 0, 0, 0, 0}, "it changed RBP"},   // mov ebp, 0
      {{0x49, 0xFF, 0xC4}, "it changed R12"},   // inc r12
      {{0x49, 0xFF, 0xC7}, "it changed R15"},   // inc r15
      {{0x49, 0xF7, 0xD7}, "it changed R15"},   // not r15, undone by every other call
      {{0x59, 0x51, 0x51}, "it moved the stack pointer by -8008 bytes"},  // pop rcx; push rcx x2
      {{0xFD}, "it left the direction flag set"},                         // std
  };
  for (const auto& kernel : cases) {
    EXPECT_EQ(FailureOf(stats::SweepMeasure::CALL, kernel.body), kernel.failure)
        << "kernel of " << kernel.body.size() << " bytes";
  }
}

TEST(CheckedChunks, RunTheKernelOnAStackOfItsOwnSoThatWritingAboveItsReturnReachesNoCaller) {
  // mov qword ptr [rsp + 48], 0; mov qword ptr [rsp + 8], 0: where a caller's frame would be.
  const Bytes body = {0x48, 0xC7, 0x44, 0x24, 0x30, 0, 0, 0, 0,
                      0x48, 0xC7, 0x44, 0x24, 0x08, 0, 0, 0, 0};
  EXPECT_EQ(FailureOf(stats::SweepMeasure::CALL, body), "");
}

TEST(CheckedChunks, CatchALoopThatAKernelEndsEarlyInTheCallLoopAndInBlocks) {
  const std::string cut =
      "it cut its loop short (a chunk took less than half the empty procedure's time)";
  const Bytes ends_the_loop = {0xBE, 0x01, 0, 0, 0};  // mov esi, 1
  EXPECT_EQ(FailureOf(stats::SweepMeasure::CALL, ends_the_loop), cut);
  EXPECT_EQ(FailureOf(stats::SweepMeasure::LATENCY, ends_the_loop), cut);
  EXPECT_EQ(FailureOf(stats::SweepMeasure::THROUGHPUT, {0x90}), "");  // nop
}

TEST(CheckedChunks, GiveEveryChunkTheRecordAfreshSoThatWhatAKernelWroteThereLastsOneChunk) {
  stats::SeedLoopCheck(3);
  const std::vector<stats::Procedure> procedures = {KernelOf({0x90}), stats::EmptyProcedureCopy()};
  stats::MeasureCode code(stats::SweepMeasure::CALL, procedures);
  ASSERT_TRUE(code.ok()) << code.error();
  stats::CheckedChunks chunks(code, procedures.size(), false);
  // As a kernel that found the record would leave it, slots numbered as sweep_code.S numbers them:
  // R12's given value changed to what it left there, the stack's top moved.
  uint64_t* record = stats::LoopCheckRecord();
  record[2] ^= 1;
  record[14] -= 4100;
  chunks.Ticks({stats::POSITIVE, 0, 0}, 1001);
  EXPECT_EQ(chunks.failure(), "");
  EXPECT_EQ(record[14] % 16, 0u) << "the next chunk runs on the stack as given";
}

}  // namespace
