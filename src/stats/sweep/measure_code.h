// The code one measure runs, placed and executable: the benchmark's loop around each procedure,
// or each procedure's blocks of N and 2N inline copies.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "stats/options.h"
#include "stats/sweep/blocks.h"
#include "stats/sweep/placement.h"
#include "stats/sweep/rounds.h"

namespace stats {

class MeasureCode {
 public:
  MeasureCode(SweepMeasure measure, const std::vector<Procedure>& procedures);
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  // The code of a cell as the rounds number it (CodeOf).
  PlacedLoop* loop(const Cell& cell) const;
  // Told of each cell before its code first runs, and again whenever another cell ran between.
  std::function<void(const Cell&)> entering;

 private:
  mutable Cell last_{NEGATIVE, SIZE_MAX, SIZE_MAX};
  std::unique_ptr<PlacedCode> calls_;
  std::unique_ptr<PlacedBlocks> blocks_[2];  // of N and of 2N copies
  bool ok_ = false;
  std::string error_;
};

}  // namespace stats
