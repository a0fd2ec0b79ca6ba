// A sweep's findings as the result record that --json writes and --compare reads.
#pragma once

#include <string>

#include "stats/host/machine_facts.h"
#include "stats/host/processor_facts.h"
#include "stats/record/result_record.h"
#include "stats/sweep/estimate/results.h"

namespace stats {

ResultRecord RecordOfSweep(const SweepResult& sweep, const MachineFacts& machine,
                           const ProcessorFacts& processor, const std::string& date_utc);

}  // namespace stats
