#include "stats/sweep/placed/procedures.h"

#include "bench/bench.h"
#include "kernels/kernel_table.h"
#include "stats/report.h"

namespace stats {

namespace {

std::vector<uint8_t> LinkedBytes(const void* procedure, uint32_t length) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(procedure);
  return std::vector<uint8_t>(bytes, bytes + length);
}

}  // namespace

std::vector<Procedure> TableProcedures() {
  std::vector<Procedure> procedures;
  for (int row = 0; row < KERNEL_COUNT; ++row) {
    const KernelSlot& slot = KernelTable[row];
    procedures.push_back({slot.name, KernelWords(row),
                          LinkedBytes(reinterpret_cast<const void*>(slot.kernel), *slot.length),
                          row, slot.result, "", "", Procedure::Origin::TABLE});
  }
  return procedures;
}

Procedure EmptyProcedureCopy() {
  return {"EmptyProcedure",
          "empty procedure",
          LinkedBytes(reinterpret_cast<const void*>(EmptyProcedure), EmptyProcedure_length),
          -1,
          ResultRegister::EAX,
          "",
          "",
          Procedure::Origin::EMPTY};
}

std::vector<uint8_t> BodyOf(const Procedure& procedure) {
  return std::vector<uint8_t>(procedure.bytes.begin(),
                              procedure.bytes.end() - EmptyProcedure_length);
}

}  // namespace stats
