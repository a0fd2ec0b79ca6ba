// Sweeps' result records set side by side: per measure and pass, each kernel's median in every
// file, judged against the first file's with both files' uncertainties.
#pragma once

#include <string>
#include <vector>

#include "stats/math/figure_difference.h"
#include "stats/record/result_record.h"

namespace stats {

// A difference is a verdict only when the two figures are Distinguishable (figure_difference.h),
// each figure's uncertainty taken as at least its measure's noise floor; below that the two are
// the same.
extern const char VERDICT_RULE[];  // the rule in words, for the output and --help

// NO_BASELINE: the kernel is in this file but not in the baseline, so there is nothing to judge.
enum class Verdict { BASELINE, SAME, FASTER, SLOWER, MISSING, NO_BASELINE };
const char* VerdictName(Verdict verdict);

// How `median` compares with the baseline's, each with the uncertainty it is judged by.
Verdict Judge(double baseline_median, double baseline_uncertainty, double median,
              double uncertainty);

struct ComparedFile {
  std::string name;  // as given on the command line
  ResultRecord record;
};

struct ComparedCell {
  Verdict verdict = Verdict::MISSING;
  double median = 0, uncertainty = 0;  // the figure's own uncertainty, as its file gives it
  double difference = 0;               // from the baseline's median; 0 where either is missing
  bool code_differs = false;  // its bytes are not those of the first file that has the kernel
};

struct ComparedRow {
  std::string kernel;
  std::vector<ComparedCell> cells;  // one per file, in order
};

struct ComparedTable {
  std::string measure, pass;
  std::vector<ComparedRow> rows;
};

struct Comparison {
  std::vector<std::string> files, machines;  // the files' names and their machines' short names
  std::vector<std::string> details;          // a line per file: machine, date, program
  std::vector<ComparedTable> tables;
  std::vector<std::string> notes;
};

// `files` has the baseline first.
Comparison Compare(const std::vector<ComparedFile>& files);

}  // namespace stats
