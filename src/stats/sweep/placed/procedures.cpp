#include "stats/sweep/placed/procedures.h"

#include "bench/bench.h"
#include "kernels/kernel_table.h"
#include "stats/runs/report.h"

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

MeasureKernels KernelsMeasured(SweepMeasure measure, const std::vector<Procedure>& kernels) {
  MeasureKernels measured{measure, {}};
  for (size_t kernel = 0; kernel < kernels.size(); ++kernel) {
    if (!IsBlock(measure) || kernels[kernel].inline_refusal.empty())
      measured.kernels.push_back(kernel);
  }
  return measured;
}

std::vector<MeasureKernels> KernelsMeasured(const std::vector<SweepMeasure>& measures,
                                            const std::vector<Procedure>& kernels) {
  std::vector<MeasureKernels> measured;
  for (SweepMeasure measure : measures) measured.push_back(KernelsMeasured(measure, kernels));
  return measured;
}

}  // namespace stats
