// A sweep's findings as the result record that --json writes and --compare reads.
#pragma once

#include <string>

#include "stats/machine_facts.h"
#include "stats/processor_facts.h"
#include "stats/result_record.h"
#include "stats/sweep/estimate/results.h"

namespace stats {

// How far a figure (the median over the placements) may be from its true value: for now the
// distance between the medians of the first and of the second halves' nets, the noise between
// two runs of the same cells, until the estimator gives each figure its own.
double HalvesUncertaintyCycles(const MeasureResult& measure, Pass pass, size_t kernel);

// "2025-01-31T12:00:00Z", now.
std::string UtcNow();

ResultRecord RecordOfSweep(const SweepResult& sweep, const MachineFacts& machine,
                           const ProcessorFacts& processor, const std::string& date_utc);

}  // namespace stats
