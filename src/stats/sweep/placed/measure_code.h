// The code one measure runs, placed and executable: the benchmark's loop around each procedure,
// or each procedure's blocks of N and 2N inline copies.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "stats/measure.h"
#include "stats/sweep/estimate/rounds.h"
#include "stats/sweep/placed/blocks.h"
#include "stats/sweep/placed/placement.h"

namespace stats {

class MeasureCode {
 public:
  MeasureCode(SweepMeasure measure, const std::vector<Procedure>& procedures);
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  // The code of a cell as the rounds number it (CodeOf), about to run: `entering` is told first
  // when another cell ran last.
  PlacedLoop* LoopToRun(const Cell& cell);
  std::function<void(const Cell&)> entering;
  // Where the kernel's copies in a cell's code lie.
  PlacedCopies Copies(const Cell& cell) const;

 private:
  Cell last_{NEGATIVE, SIZE_MAX, SIZE_MAX};
  std::vector<uint64_t> lengths_;  // of each procedure's bytes
  std::unique_ptr<PlacedCode> calls_;
  std::unique_ptr<PlacedBlocks> blocks_[2];  // of N and of 2N copies
  bool ok_ = false;
  std::string error_;
};

}  // namespace stats
