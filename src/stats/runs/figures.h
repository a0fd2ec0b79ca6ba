// What absbench-stats makes of a set of reports: each kernel's figures, the table and the CSV rows
// (the chart is the summary command's own).
#pragma once

#include <string>
#include <vector>

#include "stats/host/machine_facts.h"
#include "stats/math/statistics.h"
#include "stats/runs/report.h"

namespace stats {

struct RunSet {
  std::vector<Report> reports;  // at least one, one per run
  std::string origin;           // where the runs came from, for the header
  bool from_saved_reports = false;
};

struct PassFigures {
  std::vector<Summary> kernels;  // in table order
  std::vector<size_t> ranking;   // kernel indices, smallest median first
};

struct Figures {
  Summary baseline;
  PassFigures passes[2];
};

Figures ComputeFigures(const RunSet& runs);

std::string FormatTable(const RunSet& runs, const Figures& figures, const MachineFacts& machine);
std::string FormatCsv(const RunSet& runs);

}  // namespace stats
