#include "stats/sweep/placed/blocks.h"

#include <cstring>

#include "stats/sweep/placed/loop_check.h"

extern "C" {
void BlockPrologue();
void BlockEpilogue();
extern const uint32_t BlockPrologueLength;
extern const uint32_t BlockEpilogueLength;
extern const uint32_t BlockPrologueRecordAt;
extern const uint32_t BlockEpilogueRecordAt;
extern const uint8_t GlueResultFromEcx[2];
extern const uint8_t GlueNegate[2];
extern const uint8_t GlueFreshOperand[2];
extern const uint8_t BlockLoopEnd[9];
}

namespace stats {

namespace {

// 64 copies of the longest kernel a user may give, with glue, fit in two pages.
constexpr size_t BLOCK_PAGES = 2 * PLACEMENT_PAGE;
// Within its pages, plus the placement's offset: room for the prologue before it.
constexpr size_t BLOCK_AT = LOOP_BODY_AT;
constexpr size_t JNZ_DISPLACEMENT_AT = 5;  // in the loop end: 83 EE 01, then 0F 85 and the rel32

void Append(std::vector<uint8_t>& bytes, const uint8_t* piece, size_t length) {
  bytes.insert(bytes.end(), piece, piece + length);
}

}  // namespace

std::vector<uint8_t> BlockCopies(SweepMeasure measure, Pass pass, const Procedure& procedure,
                                 uint32_t copies) {
  const std::vector<uint8_t> body = BodyOf(procedure);
  std::vector<uint8_t> bytes;
  for (uint32_t copy = 0; copy < copies; ++copy) {
    if (measure == SweepMeasure::THROUGHPUT) Append(bytes, GlueFreshOperand, 2);
    bytes.insert(bytes.end(), body.begin(), body.end());
    if (measure == SweepMeasure::LATENCY) {
      if (procedure.result == ResultRegister::ECX) Append(bytes, GlueResultFromEcx, 2);
      if (pass == NEGATIVE) Append(bytes, GlueNegate, 2);
    }
  }
  return bytes;
}

PlacedBlocks::PlacedBlocks(SweepMeasure measure, const std::vector<Procedure>& procedures,
                           uint32_t copies)
    : procedures_(procedures.size()),
      grid_(GridFor(measure)),
      layouts_(2 * procedures.size()),
      arena_(2 * procedures.size() * grid_.size() * BLOCK_PAGES) {
  ok_ = arena_.ok() && LoopCheckRecord() != nullptr;
  error_ = arena_.ok() ? LoopCheckError() : arena_.error();
  if (!ok_) return;
  uint8_t* writable = arena_.writable();
  std::memset(writable, 0xCC, arena_.size());  // filler that traps
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    for (size_t procedure = 0; procedure < procedures.size(); ++procedure) {
      const std::vector<uint8_t> joined = BlockCopies(measure, pass, procedures[procedure], copies);
      PlacedCopies& layout = layouts_[pass * procedures_ + procedure];
      layout.first = measure == SweepMeasure::THROUGHPUT ? sizeof GlueFreshOperand : 0;
      layout.stride = joined.size() / copies;
      layout.length = BodyOf(procedures[procedure]).size();
      layout.copies = copies;
      for (size_t placement = 0; placement < grid_.size(); ++placement) {
        uint8_t* start = writable + (block(pass, procedure, placement) - arena_.bytes());
        std::memcpy(start - BlockPrologueLength, reinterpret_cast<const void*>(BlockPrologue),
                    BlockPrologueLength);
        WriteLoopCheckAddress(start - BlockPrologueLength + BlockPrologueRecordAt);
        if (!joined.empty()) std::memcpy(start, joined.data(), joined.size());
        uint8_t* loop_end = start + joined.size();
        std::memcpy(loop_end, BlockLoopEnd, sizeof BlockLoopEnd);
        uint8_t* after = loop_end + sizeof BlockLoopEnd;
        const auto back = static_cast<int32_t>(start - after);
        std::memcpy(loop_end + JNZ_DISPLACEMENT_AT, &back, sizeof back);
        std::memcpy(after, reinterpret_cast<const void*>(BlockEpilogue), BlockEpilogueLength);
        WriteLoopCheckAddress(after + BlockEpilogueRecordAt);
      }
    }
  }
}

bool PlacedBlocks::MakeExecutable() {
  ok_ = ok_ && arena_.MakeExecutable();
  if (!ok_ && error_.empty()) error_ = arena_.error();
  return ok_;
}

const uint8_t* PlacedBlocks::page(Pass pass, size_t procedure, size_t placement) const {
  return arena_.bytes() +
         ((pass * procedures_ + procedure) * grid_.size() + placement) * BLOCK_PAGES;
}

const uint8_t* PlacedBlocks::block(Pass pass, size_t procedure, size_t placement) const {
  return page(pass, procedure, placement) + BLOCK_AT + grid_[placement].loop_offset;
}

PlacedCopies PlacedBlocks::copies(Pass pass, size_t procedure, size_t placement) const {
  PlacedCopies copies = layouts_[pass * procedures_ + procedure];
  copies.first += reinterpret_cast<uintptr_t>(block(pass, procedure, placement));
  return copies;
}

PlacedLoop* PlacedBlocks::loop(Pass pass, size_t procedure, size_t placement) const {
  return reinterpret_cast<PlacedLoop*>(
      const_cast<uint8_t*>(block(pass, procedure, placement) - BlockPrologueLength));
}

}  // namespace stats
