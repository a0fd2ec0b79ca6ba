// The procedures' bytes as the benchmark links them.
#pragma once

#include <cstdint>
#include <vector>

#include "stats/sweep/estimate/procedure.h"

namespace stats {

// The bytes before the common trailer: what an inline copy repeats.
std::vector<uint8_t> BodyOf(const Procedure& procedure);

// The kernels of the table, in table order, and the empty procedure, with their linked bytes.
std::vector<Procedure> TableProcedures();
Procedure EmptyProcedureCopy();

}  // namespace stats
