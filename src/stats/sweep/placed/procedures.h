// The procedures' bytes as the benchmark links them, and which of them each measure times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stats/measure.h"
#include "stats/sweep/estimate/procedure.h"

namespace stats {

// The bytes before the common trailer: what an inline copy repeats.
std::vector<uint8_t> BodyOf(const Procedure& procedure);

// The kernels of the table, in table order, and the empty procedure, with their linked bytes.
std::vector<Procedure> TableProcedures();
Procedure EmptyProcedureCopy();

// A measure and the kernels it times, as ascending indices into the sweep's kernels.
struct MeasureKernels {
  SweepMeasure measure = SweepMeasure::CALL;
  std::vector<size_t> kernels;
};
// Every kernel for the call loop; for the blocks, those whose inline copy was not refused.
MeasureKernels KernelsMeasured(SweepMeasure measure, const std::vector<Procedure>& kernels);
std::vector<MeasureKernels> KernelsMeasured(const std::vector<SweepMeasure>& measures,
                                            const std::vector<Procedure>& kernels);

}  // namespace stats
