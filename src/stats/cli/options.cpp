#include "stats/cli/options.h"

#include <algorithm>
#include <random>

#include "stats/cli/option_values.h"
#include "stats/system/command_line.h"
#include "stats/system/machine.h"
#include "stats/text/format.h"

namespace stats {

namespace {

// Everything the line gave, before the checks of what goes with what.
struct Given {
  std::optional<uint64_t> runs;
  std::optional<std::string> benchmark;
  bool sweep = false;
  std::optional<uint64_t> seconds, rounds, calls, seed, cpu;
  std::optional<double> precision;
  bool predict = false;
  std::optional<std::string> predict_for, mca;
  std::optional<std::vector<SweepMeasure>> measures;
  std::vector<UserKernelArgument> user_kernels;
  std::string csv_path, svg_path, json_path;
  std::vector<std::string> reports;
};

// A seed of its own for each sweep not given one, so that runs differ in their rounds' order.
uint64_t RandomSeed() {
  std::random_device device;
  return uint64_t{device()} << 32 ^ device();
}

// `value` as a whole number from `least` to `most` into `into`; empty, or what the option `needs`.
std::string TakeNumber(const std::string& value, uint64_t least, uint64_t most,
                       std::optional<uint64_t>& into, const std::string& needs) {
  into = ParseUnsigned(value, most);
  if (!into || *into < least) return needs + ", not " + Quoted(value, '\'');
  return "";
}

// The value of option `letter`, checked; empty when it is fine.
std::string Take(Given& given, int letter, const std::string& value) {
  switch (letter) {
    case 'n':
      return TakeNumber(value, 1, 1000, given.runs,
                        "-n needs a whole number of runs from 1 to 1000");
    case 'c':
      given.csv_path = value;
      return "";
    case 's':
      given.svg_path = value;
      return "";
    case 'j':
      given.json_path = value;
      return "";
    case 'b':
      given.benchmark = value;
      return "";
    case 'T':
      return TakeNumber(value, 1, 86400, given.seconds,
                        "--seconds needs a whole number of seconds from 1 to 86400");
    case 'R': {
      const std::string needs = "--rounds needs an even number from 2 to 1000";
      const std::string problem = TakeNumber(value, 2, 1000, given.rounds, needs);
      if (problem.empty() && *given.rounds % 2 != 0) return needs + ", not " + Quoted(value, '\'');
      return problem;
    }
    case 'C':
      return TakeNumber(value, 1, 1000000, given.calls,
                        "--calls needs a whole number from 1 to 1000000");
    case 'p':
      given.precision = ParseDecimal(value, 0.001, 1);
      if (!given.precision) {
        return "--precision needs a number of cycles from 0.001 to 1, not " + Quoted(value, '\'');
      }
      return "";
    case 'S':
      return TakeNumber(value, 0, UINT64_MAX, given.seed, "--seed needs a whole number");
    case 'P':
      return TakeNumber(value, 0, MostCpuNumber(), given.cpu, "--cpu needs a processor number");
    case 'k':
      given.user_kernels.push_back({false, value});
      return "";
    case 'F':
      given.predict_for = value;
      if (value.empty() ||
          value.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-_.") != std::string::npos) {
        return "--predict-for needs a processor as llvm-mca names it (znver4, skylake, ...), not " +
               Quoted(value, '\'');
      }
      return "";
    case 'm':
      given.mca = value;
      return "";
    case 'A':
      given.user_kernels.push_back({true, value});
      return "";
    case 'M':
      given.measures = ParseMeasureList(value);
      if (!given.measures) {
        return "--measure needs a comma list of call, latency and throughput, or all, not " +
               Quoted(value, '\'');
      }
      return "";
  }
  return "";
}

// Why these options do not go together, or empty.
std::string Conflict(const Given& given) {
  const bool sweep_only = given.seconds || given.rounds || given.calls || given.seed || given.cpu ||
                          given.measures || given.precision || given.predict ||
                          !given.user_kernels.empty() || !given.json_path.empty();
  if (!given.reports.empty() && given.sweep) {
    return "--sweep measures this machine; it does not go with saved reports";
  }
  if (!given.reports.empty() && (given.runs || given.benchmark)) {
    return "-n and --benchmark run the benchmark; they do not go with saved reports";
  }
  if (sweep_only && !given.sweep) {
    return "--measure, --seconds, --precision, --rounds, --calls, --seed, --cpu, --kernel, "
           "--kernel-asm, --predict and --json belong to --sweep";
  }
  if ((given.predict_for || given.mca) && !given.predict) {
    return "--predict-for and --mca belong to --predict";
  }
  if (given.predict && (!given.measures || std::find_if(given.measures->begin(),
                                                        given.measures->end(), [](SweepMeasure m) {
                                                          return IsBlock(m);
                                                        }) == given.measures->end())) {
    return "--predict predicts latency and throughput; ask for one of them with --measure";
  }
  if (given.sweep && given.benchmark && !given.runs) {
    return "--sweep runs the benchmark only with -n, to compare its fixed layout; --benchmark "
           "needs -n here";
  }
  if (given.sweep && given.runs && given.measures &&
      std::find(given.measures->begin(), given.measures->end(), SweepMeasure::CALL) ==
          given.measures->end()) {
    return "-n compares the benchmark's fixed layout with the call measure; --measure leaves it "
           "out";
  }
  if (given.rounds && given.precision) {
    return "--rounds fixes the rounds, so --precision would be ignored; give one";
  }
  // Every measure's code is placed before the measuring process closes itself in, about 4 MiB a
  // kernel for all three measures.
  if (given.user_kernels.size() > MOST_USER_KERNELS) {
    return "at most " + std::to_string(MOST_USER_KERNELS) +
           " kernels of your own in one sweep, not " + std::to_string(given.user_kernels.size());
  }
  return "";
}

}  // namespace

Command ParseCommandLine(const std::vector<std::string>& arguments) {
  if (std::find(arguments.begin(), arguments.end(), "--compare") != arguments.end()) {
    return ParseCompareLine(arguments);
  }
  static const std::vector<LongOption> LONG_OPTIONS = {
      {"csv", true, 'c'},         {"svg", true, 's'},       {"benchmark", true, 'b'},
      {"help", false, 'h'},       {"sweep", false, 'w'},    {"calls", true, 'C'},
      {"seed", true, 'S'},        {"cpu", true, 'P'},       {"kernel", true, 'k'},
      {"rounds", true, 'R'},      {"seconds", true, 'T'},   {"measure", true, 'M'},
      {"kernel-asm", true, 'A'},  {"precision", true, 'p'}, {"predict", false, 'D'},
      {"predict-for", true, 'F'}, {"mca", true, 'm'},       {"json", true, 'j'}};
  const ScannedLine line = ScanCommandLine(arguments, LONG_OPTIONS, "n:");
  Given given;
  for (const ScannedOption& option : line.options) {
    if (option.key == 'h') return HelpRequest{};
    if (option.key == 'w') {
      given.sweep = true;
    } else if (option.key == 'D') {
      given.predict = true;
    } else if (option.key == NEEDS_A_VALUE) {
      return UsageError{"option " + Quoted(option.value, '\'') + " needs a value"};
    } else if (option.key == UNKNOWN_OPTION) {
      return UsageError{"unknown option " + Quoted(option.value, '\'')};
    } else if (const std::string problem = Take(given, option.key, option.value);
               !problem.empty()) {
      return UsageError{problem};
    }
  }
  given.reports = line.operands;
  if (const std::string conflict = Conflict(given); !conflict.empty()) return UsageError{conflict};

  if (given.sweep) {
    SweepOptions sweep;
    if (given.runs) sweep.fixed_layout_runs = static_cast<int>(*given.runs);
    sweep.benchmark = given.benchmark.value_or("");
    if (given.seconds) sweep.settings.seconds = static_cast<double>(*given.seconds);
    if (given.rounds) sweep.settings.rounds = static_cast<uint32_t>(*given.rounds);
    if (given.precision) sweep.settings.precision_cycles = *given.precision;
    sweep.predict = given.predict;
    if (given.predict_for) sweep.predict_for = *given.predict_for;
    sweep.mca = given.mca.value_or("");
    if (given.calls) sweep.settings.calls = static_cast<uint32_t>(*given.calls);
    sweep.settings.seed = given.seed ? *given.seed : RandomSeed();
    if (given.cpu) sweep.settings.cpu = static_cast<int>(*given.cpu);
    sweep.user_kernels = given.user_kernels;
    if (given.measures) sweep.settings.measures = *given.measures;
    sweep.csv_path = given.csv_path;
    sweep.svg_path = given.svg_path;
    sweep.json_path = given.json_path;
    return sweep;
  }
  SummaryOptions summary;
  if (given.runs) summary.runs = static_cast<int>(*given.runs);
  summary.benchmark = given.benchmark.value_or("");
  summary.reports = given.reports;
  summary.csv_path = given.csv_path;
  summary.svg_path = given.svg_path;
  return summary;
}

}  // namespace stats
