// A small result record made by hand, for the tests of reading, writing and comparing records.
#pragma once

#include <string>

#include "stats/record/result_record.h"

namespace stats_test {

// Kernels "plain" and "twice" measured for latency in both passes, on a "Zen 4" machine; every
// figure is `median` with `uncertainty` (half of it the rounds'), over two placements.
inline stats::ResultRecord HandMadeRecord(double median = 3, double uncertainty = 0.05) {
  stats::ResultRecord record;
  record.program_version = "1.0.0";
  record.date_utc = "2025-01-31T12:00:00Z";
  record.machine = {"AuthenticAMD", 25,      17, 1,    "AMD EPYC 9654", "Zen 4", 8,
                    true,           "6.1.0", 3,  false};
  record.settings = {{"latency"}, 0.02, 8, 0, 0, 18446744073709551615u};
  record.slowest_clock_ghz = 2.5;
  record.fastest_clock_ghz = 3.7;
  record.measures.push_back({"latency", "precise", 52, 0.012, 100, 2, false, 2.75, 3.5});
  for (const char* name : {"plain", "twice"}) {
    stats::RecordKernel& kernel = record.kernels.emplace_back();
    kernel.name = name;
    kernel.bytes_hex = "0fafc090909090c3";
    kernel.assembly = "imul eax, eax";
    for (const char* pass : {"positive", "negative"}) {
      stats::RecordFigure figure;
      figure.measure = "latency";
      figure.pass = pass;
      figure.median_cycles = median;
      figure.uncertainty_cycles = uncertainty;
      figure.rounds_uncertainty_cycles = uncertainty / 2;
      figure.iqr_cycles = 0.25;
      figure.share_away = 0.125;
      figure.layout_sensitive = true;
      figure.precise = true;
      figure.predicted_cycles = 3.25;
      figure.model = "znver4";
      figure.cells = {{0, 0, 0, median, median - 0.01, median + 0.01},
                      {1, 0, 1, median + 0.5, median + 0.5, median + 0.5}};
      kernel.figures.push_back(figure);
    }
  }
  record.left_out = {"bad: it faulted"};
  record.containment = "system-call filter, process group, limits";
  return record;
}

}  // namespace stats_test
