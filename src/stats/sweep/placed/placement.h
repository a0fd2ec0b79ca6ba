// The call loops placed in memory: every procedure's loop body and bytes at each placement of the
// grid, on pages that are never writable and executable at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "stats/sweep/estimate/grid.h"
#include "stats/sweep/placed/procedures.h"
#include "stats/system/code_arena.h"
#include "stats/system/x86_64/calling_convention.h"

namespace stats {

// Every procedure at every placement, each pair on a page of its own: the loop body at byte
// 256 + loop offset of the page (512 under the Windows convention, whose loop keeps more of its
// caller's registers before it), the kernel at 2048 + kernel offset.
constexpr size_t PLACEMENT_PAGE = 4096;
constexpr size_t LOOP_BODY_AT = MICROSOFT_X64 ? 512 : 256;
constexpr size_t KERNEL_AT = 2048;

using PlacedLoop = void(int32_t operand, uint32_t calls);

class PlacedCode {
 public:
  PlacedCode(const std::vector<Procedure>& procedures, const std::vector<Placement>& grid);
  // False, with the reason in error(), when the pages or the kernel's stack could not be mapped,
  // or the pages made executable.
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }

  PlacedLoop* loop(size_t procedure, size_t placement) const;
  const uint8_t* loop_body(size_t procedure, size_t placement) const;
  const uint8_t* kernel(size_t procedure, size_t placement) const;

  // Writes every copy into the read-write pages; MakeExecutable must follow before any run.
  void Write(const std::vector<Procedure>& procedures);
  bool MakeExecutable();

 private:
  const uint8_t* page(size_t procedure, size_t placement) const;
  std::vector<Placement> grid_;
  CodeArena arena_;
  bool ok_ = false;
  std::string error_;
};

}  // namespace stats
