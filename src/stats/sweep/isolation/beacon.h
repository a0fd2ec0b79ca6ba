// The page the measuring process shares with the process that reports.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stats/measure.h"
#include "stats/system/shared_page.h"

namespace stats {

// A page shared with the measuring process, where it names each cell before running it and counts
// its visits: plain stores, where a write to a pipe per visit would cost a third of the sweep.
class Beacon {
 public:
  Beacon() : page_(sizeof(Fields)), fields_(static_cast<Fields*>(page_.bytes())) {}
  bool ok() const { return fields_ != nullptr; }
  const char* error() const { return page_.error(); }

  // In the child: the cell about to run.
  void Enter(SweepMeasure measure, int kernel, size_t placement) {
    Store(fields_->measure, static_cast<int64_t>(measure));
    Store(fields_->kernel, kernel);
    Store(fields_->placement, static_cast<int64_t>(placement));
    Store(fields_->named, 1);
  }
  void Count(size_t done, size_t total) {
    Store(fields_->total, static_cast<int64_t>(total));
    Store(fields_->done, static_cast<int64_t>(done));
  }

  // In the parent: the last cell named, or false when none was.
  bool LastCell(int& measure, int& kernel, size_t& placement) const {
    if (Load(fields_->named) == 0) return false;
    measure = static_cast<int>(Load(fields_->measure));
    kernel = static_cast<int>(Load(fields_->kernel));
    placement = static_cast<size_t>(Load(fields_->placement));
    return true;
  }
  size_t done() const { return static_cast<size_t>(Load(fields_->done)); }
  size_t total() const { return static_cast<size_t>(Load(fields_->total)); }

 private:
  struct Fields {
    int64_t named, measure, kernel, placement, done, total;
  };
  static void Store(int64_t& field, int64_t value) {
    __atomic_store_n(&field, value, __ATOMIC_RELEASE);
  }
  static int64_t Load(const int64_t& field) { return __atomic_load_n(&field, __ATOMIC_ACQUIRE); }
  SharedPage page_;
  Fields* fields_;
};

}  // namespace stats
