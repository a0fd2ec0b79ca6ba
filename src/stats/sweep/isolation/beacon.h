// A page shared with the measuring process, where it names each cell before running it and counts
// its visits: plain stores, where a write to a pipe per visit would cost a third of the sweep. A
// cell is one 64-bit word, so that it is never read half written; the kernel under measure can
// write the page too, so what is read from it is checked against what the sweep holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "stats/measure.h"
#include "stats/sweep/estimate/results.h"
#include "stats/sweep/placed/procedures.h"
#include "stats/system/shared_page.h"

namespace stats {

struct NamedCell {
  SweepMeasure measure = SweepMeasure::CALL;
  int kernel = -1;  // an index into the sweep's kernels, or -1 for the empty procedure
  size_t placement = 0;
};

class Beacon {
 public:
  // In the parent: a new page.
  Beacon();
  // In the measuring process: the parent's page, by the handle it was given.
  explicit Beacon(SharedPage::Handle handle);
  bool ok() const { return fields_ != nullptr; }
  const char* error() const { return page_.error(); }

  // In the child: the cell about to run, and the visits done.
  void Enter(SweepMeasure measure, int kernel, size_t placement);
  // `waiting`: the rounds go on past their usual time, for quieter ones.
  void Count(size_t done, size_t total, bool waiting);
  // Where the kernel's copies of the cell last entered lie; and the two words where a fault that
  // ends the process stores its instruction's address (fault_address.h).
  void Placed(const PlacedCopies& copies);
  int64_t* fault_address() { return &fields_[FAULT_AT]; }

  // In the parent: the last cell named (`back` 0) or the one before it (1), when one was and it
  // names a measure of `measures`, the empty procedure or a kernel that measure times, and a
  // placement on its grid.
  std::optional<NamedCell> Named(int back, const std::vector<MeasureKernels>& measures) const;
  // The address a fault stored, if one did, and where the copies of `cell` lay, when they were
  // the last placed.
  std::optional<uint64_t> FaultAddress() const;
  std::optional<PlacedCopies> CopiesOf(const NamedCell& cell) const;
  // The visits done and expected, the first never past the second.
  size_t done() const;
  size_t total() const;
  bool waiting() const;
  const SharedPage& page() const { return page_; }
  // Where the parent, before the measuring process goes on after a Ctrl-Z, writes the ns it was
  // stopped; and, in the child, those seconds, never below 0 but otherwise as the page says.
  int64_t* stopped_ns() { return &fields_[STOPPED]; }
  double StoppedSeconds() const;

 private:
  // The cell and the visits; then where the last cell's copies lie, and a fault's address.
  enum Field {
    LAST,
    BEFORE,
    DONE,
    TOTAL,
    WAITING,
    STOPPED,
    COPIES_OF,
    FIRST,
    STRIDE,
    LENGTH,
    COPIES,
    FAULT_AT,
    FAULTED,
    FIELDS
  };
  SharedPage page_;
  int64_t* fields_ = nullptr;
};

}  // namespace stats
