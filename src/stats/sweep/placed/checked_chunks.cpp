#include "stats/sweep/placed/checked_chunks.h"

#include <algorithm>
#include <limits>

#include "stats/pass.h"
#include "stats/sweep/placed/clock.h"
#include "stats/sweep/placed/loop_check.h"

namespace stats {

namespace {

// The empty procedure's chunks that make its floor before a kernel is held to it: the least of a
// few, since an interrupt can only lengthen one.
constexpr int FLOOR_CHUNKS = 3;
constexpr double FLOOR_SHARE = 0.5;
constexpr int CONFIRMING_PAIRS = 5;

}  // namespace

CheckedChunks::CheckedChunks(MeasureCode& code, size_t procedures, bool blocks)
    : code_(code), procedures_(procedures), blocks_(blocks) {}

double CheckedChunks::Timed(const Cell& cell, uint32_t calls) {
  const int32_t operand = PASS_OPERANDS[cell.pass];
  ArmLoopCheck();
  const double ticks = CodeTicks(code_.LoopToRun(cell), operand, calls);
  if (failure_.empty()) failure_ = LoopCheckFailure(operand);
  return ticks;
}

Cell CheckedChunks::EmptyFor(const Cell& cell) const {
  const size_t empty = procedures_ - 1;
  return {cell.pass, blocks_ ? 2 * empty + cell.code % 2 : empty, cell.placement};
}

CheckedChunks::Floor& CheckedChunks::FloorFor(const Cell& empty) {
  return floors_[{static_cast<int>(empty.pass), empty.code, empty.placement}];
}

double CheckedChunks::Ticks(const Cell& cell, uint32_t calls) {
  const Cell empty = EmptyFor(cell);
  Floor& floor = FloorFor(empty);
  const bool is_empty = cell.code == empty.code;
  // Made before the kernel's chunk, so that the kernel's cell is the last one run when it fails.
  if (!is_empty && floor.calls != calls) {
    floor = {calls, Timed(empty, calls) / calls};
    for (int chunk = 1; chunk < FLOOR_CHUNKS; ++chunk) {
      floor.least_ticks_per_call =
          std::min(floor.least_ticks_per_call, Timed(empty, calls) / calls);
    }
  }
  const double ticks = Timed(cell, calls);
  if (is_empty) {
    if (floor.calls != calls) floor = {calls, ticks / calls};
    floor.least_ticks_per_call = std::min(floor.least_ticks_per_call, ticks / calls);
  } else if (failure_.empty() && ticks / calls < FLOOR_SHARE * floor.least_ticks_per_call &&
             UnderTheEmptyOnesAgain(cell, empty, calls)) {
    failure_ = "it cut its loop short (a chunk took less than half the empty procedure's time)";
  }
  return ticks;
}

// A chunk can only be lengthened, by a preemption or a busy neighbour on the core, and one long
// enough to hold a slice of another process often is: a loop cut short stays under the floor in
// every one of a few more of its chunks, against the least of as many of the empty procedure's
// beside them.
bool CheckedChunks::UnderTheEmptyOnesAgain(const Cell& cell, const Cell& empty, uint32_t calls) {
  double least_empty = std::numeric_limits<double>::infinity(), most_kernel = 0;
  for (int pair = 0; pair < CONFIRMING_PAIRS; ++pair) {
    least_empty = std::min(least_empty, Timed(empty, calls));
    most_kernel = std::max(most_kernel, Timed(cell, calls));
  }
  return most_kernel < FLOOR_SHARE * least_empty;
}

}  // namespace stats
