// Inline copies of a procedure's body in a counted loop, for latency and throughput: the same bytes
// as the kernel before its trailer, joined by glue that either chains each copy's result into the
// next or gives every copy a fresh operand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stats/measure.h"
#include "stats/pass.h"
#include "stats/sweep/estimate/results.h"
#include "stats/sweep/placed/placement.h"

namespace stats {

// Each procedure is timed as a block of this many copies and one of twice as many.
constexpr uint32_t COPIES_PER_BLOCK = 32;

// The copies with their glue, as they stand between the block's start and its loop end.
//   latency:    body, MOV EAX,ECX where the result is in ECX, NEG EAX in the negative pass
//   throughput: MOV EAX,EBX, body
std::vector<uint8_t> BlockCopies(SweepMeasure measure, Pass pass, const Procedure& procedure,
                                 uint32_t copies);

// Every pass, procedure and placement on pages of their own, written at construction while
// read-write; MakeExecutable must follow before any run.
class PlacedBlocks {
 public:
  PlacedBlocks(SweepMeasure measure, const std::vector<Procedure>& procedures, uint32_t copies);
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  bool MakeExecutable();

  PlacedLoop* loop(Pass pass, size_t procedure, size_t placement) const;
  // Where the block's loop starts, and its copies with their glue.
  const uint8_t* block(Pass pass, size_t procedure, size_t placement) const;
  // Where the procedure's bodies lie among them.
  PlacedCopies copies(Pass pass, size_t procedure, size_t placement) const;

 private:
  const uint8_t* page(Pass pass, size_t procedure, size_t placement) const;
  size_t procedures_;
  std::vector<Placement> grid_;
  std::vector<PlacedCopies> layouts_;  // by pass and procedure, `first` from the block's start
  CodeArena arena_;
  bool ok_ = false;
  std::string error_;
};

}  // namespace stats
