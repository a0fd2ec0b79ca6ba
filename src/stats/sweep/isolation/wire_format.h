// What the measuring process sends back, one measure at a time as each ends, then "end". The
// process ran user bytes, so the report is read back strictly: every count, index, name and figure
// is checked against what the sweep asked for before any of it is used.
#pragma once

#include <string>
#include <vector>

#include "stats/sweep/estimate/results.h"
#include "stats/sweep/placed/procedures.h"

namespace stats {

// The measure `measure` of the sweep so far, with the clock figures so far, as lines. The nets go
// in cycles alone: their ms are made by the reader, at the one clock of the whole sweep.
std::string MeasureLines(const SweepResult& so_far, size_t measure);
// The sweep's own failure, one line.
std::string ErrorLine(const std::string& error);
constexpr const char* END_LINE = "end\n";

// What a report may hold: the kernels the process measured, and the measures asked, in order,
// each with exactly the kernels it times; the others it refuses, each once.
struct ReportExpected {
  std::vector<std::string> kernel_names;
  std::vector<MeasureKernels> measures;
  double precision_cycles = 0.02;  // that the figures are held to
};

struct ReportReadBack {
  std::vector<MeasureResult> measures;  // those that ended, the first ones asked
  double slowest_clock_ghz = 0, fastest_clock_ghz = 0, median_clock_ghz = 0;  // so far
  bool complete = false;                                                      // "end" came last
  std::string error;    // the sweep's own failure, as the process said it
  std::string problem;  // empty, or what makes the report unreadable: "line 3: ..."
};

// Every whole measure of `report`. What follows the last one may be a failure's own line ("state
// ...", "system call ..."), left for others to read; it must end the report.
ReportReadBack ReadReportBack(const std::string& report, const ReportExpected& expected);

}  // namespace stats
