#include "stats/sweep/placed/placement.h"

#include <cstring>

#include "stats/sweep/placed/loop_check.h"

extern "C" {
void SweepLoopTemplate();
extern const uint32_t SweepLoopBodyOffset;
extern const uint32_t SweepLoopTemplateLength;
extern const uint32_t SweepLoopRecordAt[2];
}

namespace stats {

namespace {

constexpr size_t CALL_DISPLACEMENT_AT = 3;  // in the loop body: 8B C3, then E8 and the rel32

}  // namespace

PlacedCode::PlacedCode(const std::vector<Procedure>& procedures, const std::vector<Placement>& grid)
    : grid_(grid), arena_(procedures.size() * grid.size() * PLACEMENT_PAGE) {
  ok_ = arena_.ok() && LoopCheckRecord() != nullptr;
  error_ = arena_.ok() ? LoopCheckError() : arena_.error();
}

const uint8_t* PlacedCode::page(size_t procedure, size_t placement) const {
  return arena_.bytes() + (procedure * grid_.size() + placement) * PLACEMENT_PAGE;
}

const uint8_t* PlacedCode::loop_body(size_t procedure, size_t placement) const {
  return page(procedure, placement) + LOOP_BODY_AT + grid_[placement].loop_offset;
}

const uint8_t* PlacedCode::kernel(size_t procedure, size_t placement) const {
  return page(procedure, placement) + KERNEL_AT + grid_[placement].kernel_offset;
}

PlacedLoop* PlacedCode::loop(size_t procedure, size_t placement) const {
  return reinterpret_cast<PlacedLoop*>(
      const_cast<uint8_t*>(loop_body(procedure, placement) - SweepLoopBodyOffset));
}

void PlacedCode::Write(const std::vector<Procedure>& procedures) {
  uint8_t* writable = arena_.writable();
  const auto* loop_template = reinterpret_cast<const uint8_t*>(SweepLoopTemplate);
  // Filler that traps, as after every kernel's RET.
  std::memset(writable, 0xCC, arena_.size());
  for (size_t procedure = 0; procedure < procedures.size(); ++procedure) {
    for (size_t placement = 0; placement < grid_.size(); ++placement) {
      uint8_t* kernel_at = writable + (kernel(procedure, placement) - arena_.bytes());
      uint8_t* body_at = writable + (loop_body(procedure, placement) - arena_.bytes());
      const std::vector<uint8_t>& bytes = procedures[procedure].bytes;
      std::memcpy(kernel_at, bytes.data(), bytes.size());
      uint8_t* loop_at = body_at - SweepLoopBodyOffset;
      std::memcpy(loop_at, loop_template, SweepLoopTemplateLength);
      for (const uint32_t at : SweepLoopRecordAt) WriteLoopCheckAddress(loop_at + at);
      // Only the CALL's displacement differs from the linked loop: it must reach this copy.
      uint8_t* call = body_at + CALL_DISPLACEMENT_AT - 1;
      const auto displacement = static_cast<int32_t>(kernel_at - (call + 5));
      std::memcpy(call + 1, &displacement, sizeof displacement);
    }
  }
}

bool PlacedCode::MakeExecutable() {
  ok_ = ok_ && arena_.MakeExecutable();
  if (!ok_ && error_.empty()) error_ = arena_.error();
  return ok_;
}

}  // namespace stats
