// Timed chunks of a measure's code, each checked as it ends: the kernel left what it must keep
// (loop_check.h), and its chunk took at least half the empty procedure's at the same placement and
// pass and with as many calls, there and again beside a few more of the empty procedure's. Only a
// loop that ends early, because a kernel counted it down itself, can cost less than the empty
// procedure's; no kernel's calls can.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>

#include "stats/sweep/estimate/rounds.h"
#include "stats/sweep/placed/measure_code.h"

namespace stats {

class CheckedChunks {
 public:
  // `procedures` counts the empty procedure, the last; with `blocks` each procedure has two codes,
  // of N and 2N copies, as CodeOf numbers them.
  CheckedChunks(MeasureCode& code, size_t procedures, bool blocks);

  // The chunk's ticks; afterwards failure() is empty or says what the kernel did.
  double Ticks(const Cell& cell, uint32_t calls);
  const std::string& failure() const { return failure_; }

 private:
  struct Floor {
    uint32_t calls = 0;
    double least_ticks_per_call = 0;
  };
  double Timed(const Cell& cell, uint32_t calls);
  Cell EmptyFor(const Cell& cell) const;
  Floor& FloorFor(const Cell& empty);
  bool UnderTheEmptyOnesAgain(const Cell& cell, const Cell& empty, uint32_t calls);

  MeasureCode& code_;
  size_t procedures_;
  bool blocks_;
  std::map<std::tuple<int, size_t, size_t>, Floor> floors_;
  std::string failure_;
};

}  // namespace stats
