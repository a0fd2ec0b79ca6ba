// Blocks of inline copies: exactly the kernel's bytes and the glue, looping back to their start.
#include "stats/sweep/placed/blocks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "stats/sweep/placed/loop_check.h"

extern "C" void BlockPrologue();
extern "C" const uint32_t BlockPrologueLength;
extern "C" const uint32_t BlockPrologueRecordAt;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t ABS4 = 4, ABS5 = 5;
const Bytes MOV_EAX_ECX = {0x8B, 0xC1}, NEG_EAX = {0xF7, 0xD8}, MOV_EAX_EBX = {0x8B, 0xC3};

Bytes Repeated(const std::vector<Bytes>& pieces, uint32_t copies) {
  Bytes bytes;
  for (uint32_t copy = 0; copy < copies; ++copy) {
    for (const Bytes& piece : pieces) bytes.insert(bytes.end(), piece.begin(), piece.end());
  }
  return bytes;
}

TEST(PlacedBlocks, HoldTheKernelsBytesBeforeItsTrailerWithTheGlueAndLoopBackToTheirStart) {
  const std::vector<stats::Procedure> procedures = {stats::TableProcedures()[ABS4],
                                                    stats::TableProcedures()[ABS5]};
  const Bytes abs4 = {0x8B, 0xC8, 0xC1, 0xF8, 0x1F, 0x03, 0xC8, 0x33, 0xC8};
  ASSERT_EQ(stats::BodyOf(procedures[0]), abs4);
  const Bytes abs5 = stats::BodyOf(procedures[1]);
  const struct {
    stats::SweepMeasure measure;
    stats::Pass pass;
    size_t procedure;
    std::vector<Bytes> pieces;
  } expected[] = {
      {stats::SweepMeasure::LATENCY, stats::POSITIVE, 0, {abs4, MOV_EAX_ECX}},
      {stats::SweepMeasure::LATENCY, stats::NEGATIVE, 0, {abs4, MOV_EAX_ECX, NEG_EAX}},
      {stats::SweepMeasure::LATENCY, stats::POSITIVE, 1, {abs5}},
      {stats::SweepMeasure::LATENCY, stats::NEGATIVE, 1, {abs5, NEG_EAX}},
      {stats::SweepMeasure::THROUGHPUT, stats::NEGATIVE, 0, {MOV_EAX_EBX, abs4}},
      {stats::SweepMeasure::THROUGHPUT, stats::POSITIVE, 1, {MOV_EAX_EBX, abs5}},
  };
  // The prologue as linked, holding the check record's address as every placed copy does.
  const auto* linked = reinterpret_cast<const uint8_t*>(BlockPrologue);
  Bytes prologue(linked, linked + BlockPrologueLength);
  stats::WriteLoopCheckAddress(prologue.data() + BlockPrologueRecordAt);
  for (const auto& block : expected) {
    for (uint32_t copies : {stats::COPIES_PER_BLOCK, 2 * stats::COPIES_PER_BLOCK}) {
      stats::PlacedBlocks placed(block.measure, procedures, copies);
      ASSERT_TRUE(placed.ok()) << placed.error();
      ASSERT_TRUE(placed.MakeExecutable()) << placed.error();
      const std::vector<stats::Placement> grid = stats::GridFor(block.measure);
      for (size_t placement = 0; placement < grid.size(); ++placement) {
        const uint8_t* start = placed.block(block.pass, block.procedure, placement);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(start) % 64,
                  static_cast<uintptr_t>(grid[placement].loop_offset));
        EXPECT_EQ(Bytes(start - BlockPrologueLength, start), prologue);
        const Bytes joined = Repeated(block.pieces, copies);
        ASSERT_EQ(Bytes(start, start + joined.size()), joined)
            << "procedure " << block.procedure << " at " << placement << ", " << copies
            << " copies";
        // Where a fault's words say each copy of the body lies.
        const stats::PlacedCopies at = placed.copies(block.pass, block.procedure, placement);
        const Bytes body = stats::BodyOf(procedures[block.procedure]);
        ASSERT_EQ(at.copies, copies);
        ASSERT_EQ(at.length, body.size());
        for (uint64_t copy = 0; copy < copies; ++copy) {
          const auto* first = reinterpret_cast<const uint8_t*>(at.first + copy * at.stride);
          EXPECT_EQ(Bytes(first, first + at.length), body) << "copy " << copy;
        }
        const uint8_t* loop_end = start + joined.size();
        EXPECT_EQ(Bytes(loop_end, loop_end + 5), (Bytes{0x83, 0xEE, 0x01, 0x0F, 0x85}));
        int32_t back;
        std::memcpy(&back, loop_end + 5, sizeof back);
        EXPECT_EQ(loop_end + 9 + back, start) << "the loop does not return to the block's start";
        placed.loop(block.pass, block.procedure, placement)(stats::PASS_OPERANDS[block.pass], 10);
      }
    }
  }
}

}  // namespace
