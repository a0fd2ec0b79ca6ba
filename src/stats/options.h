// The command line as a value: which command, with what settings, or why the line is refused.
// Parsing never prints and never exits; main does both.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace stats {

// Repeated runs of the benchmark, or saved reports, summarised.
struct SummaryOptions {
  int runs = 5;
  std::string benchmark;             // empty: the absbench beside this program
  std::vector<std::string> reports;  // saved reports to read instead of running the benchmark
  std::string csv_path, svg_path;
};

// What the sweep measures: the benchmark's call loop, a dependent chain of inline copies, or
// independent inline copies.
enum class SweepMeasure { CALL, LATENCY, THROUGHPUT };
constexpr std::array<const char*, 3> MEASURE_NAMES = {"call", "latency", "throughput"};

// A user's kernel as given: hex bytes (--kernel) or assembly text (--kernel-asm), NAME=...
struct UserKernelArgument {
  bool assembly = false;
  std::string argument;
};

// Every kernel timed at many code placements in this process.
struct SweepOptions {
  std::optional<int> fixed_layout_runs;  // -n: also run the benchmark and compare its layout
  std::string benchmark;                 // with -n: empty for the absbench beside this program
  double seconds = 0;                    // the measurements' time cap; 0: the default
  uint32_t rounds = 0;                   // exactly this many; 0: until the precision is reached
  double precision_cycles = 0.02;        // the noise floor that ends the rounds
  uint32_t calls = 0;                    // per timed chunk; 0: from a short calibration
  std::optional<uint64_t> seed;
  std::optional<int> cpu;
  std::vector<SweepMeasure> measures = {SweepMeasure::CALL};  // in the order given
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
extern const char HELP[];

}  // namespace stats
