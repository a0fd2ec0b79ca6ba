// The command line as a value: which command, with what settings, or why the line is refused.
// Parsing never prints and never exits; main does both.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "stats/measure.h"

namespace stats {

// Repeated runs of the benchmark, or saved reports, summarised.
struct SummaryOptions {
  int runs = 5;
  std::string benchmark;             // empty: the absbench beside this program
  std::vector<std::string> reports;  // saved reports to read instead of running the benchmark
  std::string csv_path, svg_path;
};

// Every kernel timed at many code placements, in a measuring process.
struct SweepOptions {
  std::optional<int> fixed_layout_runs;  // -n: also run the benchmark and compare its layout
  std::string benchmark;                 // with -n: empty for the absbench beside this program
  SweepSettings settings;                // the seed drawn at random when not given
  std::vector<UserKernelArgument> user_kernels;
  bool predict = false;                // a static model's latency and throughput beside each
  std::string predict_for = "native";  // the model's processor, as llvm-mca names it
  std::string mca;                     // the llvm-mca to run; empty: the newest on PATH
  std::string csv_path, svg_path, json_path;
};

// Result records of sweeps (--json) set side by side; nothing is measured.
struct CompareOptions {
  std::vector<std::string> files;  // the first is the baseline
  std::string csv_path, svg_path;
  bool markdown = false;
};

struct HelpRequest {};

struct UsageError {
  std::string message;
};

using Command = std::variant<SummaryOptions, SweepOptions, CompareOptions, HelpRequest, UsageError>;

// `arguments` without the program's name.
Command ParseCommandLine(const std::vector<std::string>& arguments);
// A line with --compare, which takes only its own options and the files.
Command ParseCompareLine(const std::vector<std::string>& arguments);

extern const char USAGE[];
// The words after the usage for --help, with what a user's kernel may do on this system.
std::string HelpText();

}  // namespace stats
