#include "stats/sweep/placed/measure_code.h"

namespace stats {

MeasureCode::MeasureCode(SweepMeasure measure, const std::vector<Procedure>& procedures) {
  for (const Procedure& procedure : procedures) lengths_.push_back(procedure.bytes.size());
  if (!IsBlock(measure)) {
    calls_ = std::make_unique<PlacedCode>(procedures, GridFor(SweepMeasure::CALL));
    if (calls_->ok()) calls_->Write(procedures);
    ok_ = calls_->ok() && calls_->MakeExecutable();
    error_ = calls_->error();
    return;
  }
  ok_ = true;
  for (uint32_t size = 0; size < 2 && ok_; ++size) {
    blocks_[size] = std::make_unique<PlacedBlocks>(measure, procedures, COPIES_PER_BLOCK << size);
    ok_ = blocks_[size]->ok() && blocks_[size]->MakeExecutable();
    error_ = blocks_[size]->error();
  }
}

PlacedLoop* MeasureCode::LoopToRun(const Cell& cell) {
  if (entering &&
      (cell.pass != last_.pass || cell.code != last_.code || cell.placement != last_.placement)) {
    entering(cell);
    last_ = cell;
  }
  if (calls_) return calls_->loop(cell.code, cell.placement);
  return blocks_[cell.code % 2]->loop(cell.pass, cell.code / 2, cell.placement);
}

PlacedCopies MeasureCode::Copies(const Cell& cell) const {
  if (!calls_) return blocks_[cell.code % 2]->copies(cell.pass, cell.code / 2, cell.placement);
  const uint64_t length = lengths_[cell.code];
  return {reinterpret_cast<uintptr_t>(calls_->kernel(cell.code, cell.placement)), length, length,
          1};
}

}  // namespace stats
