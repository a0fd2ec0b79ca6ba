// absbench-stats: repeated runs of the benchmark, or saved reports, summarised robustly.
#include <getopt.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "stats/benchmark_runner.h"
#include "stats/figures.h"
#include "stats/machine_facts.h"
#ifdef ABSBENCH_SWEEP
#include <random>

#include "stats/sweep_output.h"
#include "stats/user_kernel.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr int EXIT_USAGE = 2;
constexpr int DEFAULT_RUNS = 5;
constexpr int MAX_RUNS = 1000;

const char USAGE[] =
    "usage: absbench-stats [-n RUNS] [--csv FILE] [--svg FILE] [--benchmark PATH] [REPORT...]\n"
    "       absbench-stats --sweep [-n RUNS] [--seconds S] [--rounds N] [--calls N]\n"
    "                      [--seed N] [--cpu N]\n"
    "                      [--kernel NAME=HEX]... [--csv FILE] [--svg FILE]\n";

const char HELP[] =
    "Runs absbench several times (or reads saved reports) and summarises the net times robustly:\n"
    "median, minimum and maximum per pass and kernel, the kernels ranked by median.\n"
    "\n"
    "  -n RUNS           how many times to run the benchmark, one after another (default 5)\n"
    "  --csv FILE        also write one row per run, pass and kernel:\n"
    "                    run,pass,kernel,net_ms,baseline_ms\n"
    "  --svg FILE        also write a chart: per kernel one bar per pass at the median, with a\n"
    "                    whisker from minimum to maximum\n"
    "  --benchmark PATH  the benchmark to run (default: the absbench beside this program)\n"
    "  --help            show this text and exit\n"
    "  REPORT...         saved reports (absbench > report.txt) to summarise instead of running\n"
    "                    the benchmark; one run each, from any day or machine\n"
    "\n"
    "Each run takes as long as the benchmark does (tens of seconds); Ctrl-C stops cleanly and\n"
    "writes no CSV or chart.\n"
    "\n"
    "  --sweep           time every kernel in this process at 64 code placements (loop body at\n"
    "                    every 4th byte of a 64-byte block, kernel at 0, 16, 32 and 48), each\n"
    "                    placement once per round in a new shuffled order, keeping its fastest\n"
    "                    time; each net is against the empty procedure at the same placement.\n"
    "                    Reports per kernel the median, quartiles and the share of placements\n"
    "                    more than half a core cycle from the median in both halves of the\n"
    "                    rounds, in ms per 10^9 calls and in estimated core cycles, and the noise\n"
    "                    floor: how far the two halves' nets differ.\n"
    "                    --csv writes pass,kernel,loop_offset,kernel_offset,net_ms,net_cycles,\n"
    "                    first_half_cycles,second_half_cycles; --svg draws the distributions.\n"
    "                    With -n it also runs the benchmark and marks the nets that its fixed\n"
    "                    layout gets more than half a cycle wrong.\n"
    "  --seconds S       about how long the measurements take (default 14); the calls per\n"
    "                    measurement follow from a short calibration. More time, more precision\n"
    "  --rounds N        rounds, an even number from 2 to 1000 (default 10); more rounds give\n"
    "                    each cell more chances at a quiet moment on a busy host\n"
    "  --calls N         calls per measurement, instead of the calibration\n"
    "  --seed N          seed of the shuffled measurement order (default: a new one, printed)\n"
    "  --cpu N           the processor to pin the measuring thread to (default: the current)\n"
    "  --kernel NAME=HEX also sweep your own kernel: the hex bytes of its instructions (at most\n"
    "                    64; four NOPs and RET are appended); NAME is 1 to 16 letters, digits or\n"
    "                    underscores. It is first run once in a child process and refused if it\n"
    "                    faults, hangs, changes RBX, RSI, RDI, RBP, R12-R15 or the stack\n"
    "                    pointer, or returns with the direction flag set.\n";

struct Options {
  int runs = DEFAULT_RUNS;
  bool runs_given = false;
  bool sweep = false;
  uint32_t calls = 0;
  uint32_t rounds = 10;
  double seconds = 14;
  std::optional<uint64_t> seed;
  int cpu = -1;
  std::vector<std::string> user_kernels;
  bool sweep_options_given = false;
  std::string csv_path, svg_path, benchmark;
  std::vector<std::string> reports;
};

[[noreturn]] void UsageError(const std::string& problem) {
  std::cerr << "absbench-stats: " << problem << "\n" << USAGE;
  std::exit(EXIT_USAGE);
}

[[noreturn]] void Fail(const std::string& problem) {
  std::cerr << "absbench-stats: " << problem << "\n";
  std::exit(EXIT_FAILURE);
}

std::optional<int> ParseRuns(const std::string& text) {
  if (text.empty() || text.size() > 4 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return {};
  }
  const int runs = std::stoi(text);
  if (runs < 1 || runs > MAX_RUNS) return {};
  return runs;
}

std::optional<uint64_t> ParseUnsigned(const std::string& text, uint64_t maximum) {
  if (text.empty() || text.size() > 20 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return {};
  }
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (errno != 0 || value > maximum) return {};
  return value;
}

Options ParseOptions(int argc, char** argv) {
  static const option LONG_OPTIONS[] = {
      {"csv", required_argument, nullptr, 'c'},       {"svg", required_argument, nullptr, 's'},
      {"benchmark", required_argument, nullptr, 'b'}, {"help", no_argument, nullptr, 'h'},
      {"sweep", no_argument, nullptr, 'w'},           {"calls", required_argument, nullptr, 'C'},
      {"seed", required_argument, nullptr, 'S'},      {"cpu", required_argument, nullptr, 'P'},
      {"kernel", required_argument, nullptr, 'k'},    {"rounds", required_argument, nullptr, 'R'},
      {"seconds", required_argument, nullptr, 'T'},   {nullptr, 0, nullptr, 0}};
  Options options;
  opterr = 0;
  int option;
  while ((option = getopt_long(argc, argv, ":n:", LONG_OPTIONS, nullptr)) != -1) {
    switch (option) {
      case 'n': {
        const std::optional<int> runs = ParseRuns(optarg);
        if (!runs)
          UsageError("-n needs a whole number of runs from 1 to 1000, not '" + std::string(optarg) +
                     "'");
        options.runs = *runs;
        options.runs_given = true;
        break;
      }
      case 'c':
        options.csv_path = optarg;
        break;
      case 's':
        options.svg_path = optarg;
        break;
      case 'b':
        options.benchmark = optarg;
        break;
      case 'h':
        std::cout << USAGE << "\n" << HELP;
        std::exit(EXIT_SUCCESS);
      case 'w':
        options.sweep = true;
        break;
      case 'C': {
        const std::optional<uint64_t> calls = ParseUnsigned(optarg, 1000000000);
        if (!calls || *calls == 0) {
          UsageError("--calls needs a whole number from 1 to 1000000000, not '" +
                     std::string(optarg) + "'");
        }
        options.calls = static_cast<uint32_t>(*calls);
        options.sweep_options_given = true;
        break;
      }
      case 'R': {
        const std::optional<uint64_t> rounds = ParseUnsigned(optarg, 1000);
        if (!rounds || *rounds < 2 || *rounds % 2 != 0) {
          UsageError("--rounds needs an even number from 2 to 1000, not '" + std::string(optarg) +
                     "'");
        }
        options.rounds = static_cast<uint32_t>(*rounds);
        options.sweep_options_given = true;
        break;
      }
      case 'T': {
        const std::optional<uint64_t> seconds = ParseUnsigned(optarg, 86400);
        if (!seconds || *seconds == 0) {
          UsageError("--seconds needs a whole number of seconds from 1 to 86400, not '" +
                     std::string(optarg) + "'");
        }
        options.seconds = static_cast<double>(*seconds);
        options.sweep_options_given = true;
        break;
      }
      case 'S': {
        options.seed = ParseUnsigned(optarg, UINT64_MAX);
        if (!options.seed)
          UsageError("--seed needs a whole number, not '" + std::string(optarg) + "'");
        options.sweep_options_given = true;
        break;
      }
      case 'P': {
        const std::optional<uint64_t> cpu = ParseUnsigned(optarg, CPU_SETSIZE - 1);
        if (!cpu) UsageError("--cpu needs a processor number, not '" + std::string(optarg) + "'");
        options.cpu = static_cast<int>(*cpu);
        options.sweep_options_given = true;
        break;
      }
      case 'k':
        options.user_kernels.push_back(optarg);
        options.sweep_options_given = true;
        break;
      case ':':
        UsageError(std::string("option '") + argv[optind - 1] + "' needs a value");
      default:
        UsageError(std::string("unknown option '") +
                   (optopt != 0 ? std::string("-") + static_cast<char>(optopt) : argv[optind - 1]) +
                   "'");
    }
  }
  options.reports.assign(argv + optind, argv + argc);
  if (!options.reports.empty() && (options.runs_given || !options.benchmark.empty())) {
    UsageError("-n and --benchmark run the benchmark; they do not go with saved reports");
  }
  if (!options.reports.empty() && options.sweep) {
    UsageError("--sweep measures this machine; it does not go with saved reports");
  }
  if (options.sweep_options_given && !options.sweep) {
    UsageError("--seconds, --rounds, --calls, --seed, --cpu and --kernel belong to --sweep");
  }
#ifndef ABSBENCH_SWEEP
  if (options.sweep) UsageError("--sweep is built for Linux x86-64 only");
#endif
  return options;
}

std::string BenchmarkBesideThisProgram() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "absbench";
  const std::string self(path, static_cast<size_t>(length));
  return self.substr(0, self.rfind('/') + 1) + "absbench";
}

stats::Report ParseOrFail(const std::string& bytes, const std::string& source) {
  const auto parsed = stats::ParseReport(bytes);
  if (const auto* error = std::get_if<stats::ParseError>(&parsed)) {
    Fail(source + ": line " + std::to_string(error->line) + ": " + error->problem +
         (error->text.empty() ? "" : "; found \"" + error->text + "\""));
  }
  return std::get<stats::Report>(parsed);
}

stats::RunSet ReadSavedReports(const std::vector<std::string>& paths) {
  stats::RunSet runs;
  runs.from_saved_reports = true;
  runs.origin =
      std::to_string(paths.size()) + (paths.size() == 1 ? " saved report" : " saved reports");
  for (const std::string& path : paths) {
    std::ifstream file(path, std::ios::binary);
    if (!file) Fail("cannot read " + path + ": " + std::strerror(errno));
    std::ostringstream bytes;
    bytes << file.rdbuf();
    runs.reports.push_back(ParseOrFail(bytes.str(), path));
  }
  return runs;
}

std::string Minutes(Clock::duration duration) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration).count();
  return std::to_string(seconds / 60) + (seconds % 60 < 10 ? ":0" : ":") +
         std::to_string(seconds % 60);
}

// One line on a terminal's standard error, rewritten in place; nothing when it is not a terminal.
void ShowProgress(int run, int runs, Clock::time_point start, Clock::time_point run_start) {
  if (!isatty(STDERR_FILENO)) return;
  const Clock::time_point now = Clock::now();
  std::string left = "estimating time left";
  if (run > 1) {
    const Clock::duration per_run = (run_start - start) / (run - 1);
    const Clock::duration remaining = per_run * (runs - run + 1) - (now - run_start);
    left = "about " + Minutes(std::max(remaining, Clock::duration::zero())) + " left";
  }
  std::cerr << "\rrun " << run << " of " << runs << ", " << Minutes(now - start) << " elapsed, "
            << left << "\033[K" << std::flush;
}

void ClearProgress() {
  if (isatty(STDERR_FILENO)) std::cerr << "\r\033[K" << std::flush;
}

[[noreturn]] void EndByStop() {
  ClearProgress();
  std::exit(128 + stats::StopSignal());
}

stats::RunSet CollectRuns(const std::string& benchmark, int runs) {
  stats::RunSet run_set;
  run_set.origin = std::to_string(runs) + (runs == 1 ? " run of " : " runs of ") + benchmark;
  stats::InstallStopHandlers();
  const Clock::time_point start = Clock::now();
  for (int run = 1; run <= runs; ++run) {
    const Clock::time_point run_start = Clock::now();
    ShowProgress(run, runs, start, run_start);
    const stats::CapturedRun captured =
        stats::CaptureOneRun(benchmark, [&] { ShowProgress(run, runs, start, run_start); });
    if (captured.outcome == stats::CapturedRun::STOPPED) EndByStop();
    if (captured.outcome == stats::CapturedRun::FAILED) {
      ClearProgress();
      Fail("run " + std::to_string(run) + " of " + std::to_string(runs) + ": " + captured.failure);
    }
    run_set.reports.push_back(ParseOrFail(captured.output, "run " + std::to_string(run)));
  }
  ClearProgress();
  return run_set;
}

// Written beside the target and renamed into place, so a reader never sees half a file.
void WriteWhole(const std::string& path, const std::string& content) {
  const std::string temporary = path + ".tmp." + std::to_string(getpid());
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << content;
    file.close();
    if (!file) {
      std::remove(temporary.c_str());
      Fail("cannot write " + path + ": " + std::strerror(errno));
    }
  }
  if (stats::StopSignal() != 0) {
    std::remove(temporary.c_str());
    EndByStop();
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    std::remove(temporary.c_str());
    Fail("cannot write " + path + ": " + reason);
  }
}

#ifdef ABSBENCH_SWEEP
std::vector<stats::SweepKernel> KernelsToSweep(const Options& options) {
  std::vector<stats::SweepKernel> kernels = stats::TableKernels();
  for (const std::string& argument : options.user_kernels) {
    std::vector<std::string> taken = {stats::EmptyProcedureKernel().name};
    for (const stats::SweepKernel& kernel : kernels) taken.push_back(kernel.name);
    auto parsed = stats::ParseUserKernel(argument, taken);
    if (const auto* problem = std::get_if<std::string>(&parsed)) UsageError(*problem);
    kernels.push_back(std::get<stats::SweepKernel>(parsed));
  }
  for (size_t user = KERNEL_COUNT; user < kernels.size(); ++user) {
    const std::string problem = stats::CheckUserKernel(kernels[user]);
    if (!problem.empty()) {
      std::cerr << "absbench-stats: kernel " << kernels[user].name << " refused: " << problem
                << "\n";
      std::exit(EXIT_USAGE);
    }
  }
  return kernels;
}

// One line on a terminal's standard error, rewritten at most every half second.
void ShowSweepProgress(size_t done, size_t total, Clock::time_point start) {
  static Clock::time_point shown;
  const Clock::time_point now = Clock::now();
  if (!isatty(STDERR_FILENO) || (now - shown < std::chrono::milliseconds(500) && done < total)) {
    return;
  }
  shown = now;
  const Clock::duration left = (now - start) * static_cast<long>(total - done) /
                               static_cast<long>(std::max<size_t>(done, 1));
  std::cerr << "\rsweep: measurement " << done << " of " << total << ", " << Minutes(now - start)
            << " elapsed, about " << Minutes(left) << " left\033[K" << std::flush;
}

int Sweep(const Options& options) {
  const std::vector<stats::SweepKernel> kernels = KernelsToSweep(options);
  std::optional<stats::RunSet> runs;
  if (options.runs_given) {
    runs = CollectRuns(options.benchmark.empty() ? BenchmarkBesideThisProgram() : options.benchmark,
                       options.runs);
  }
  stats::SweepSettings settings;
  settings.calls = options.calls;
  settings.rounds = options.rounds;
  settings.seconds = options.seconds;
  settings.seed = options.seed ? *options.seed
                               : (uint64_t{std::random_device{}()} << 32) ^ std::random_device{}();
  settings.cpu = options.cpu >= 0 ? options.cpu : stats::CurrentCpu();
  const std::string pinned = stats::PinMeasuringThread(settings.cpu);
  if (!pinned.empty()) UsageError(pinned);
  stats::InstallStopHandlers();
  const Clock::time_point start = Clock::now();
  const stats::SweepResult sweep = stats::RunSweep(
      kernels, settings, [&](size_t done, size_t total) { ShowSweepProgress(done, total, start); });
  ClearProgress();
  if (sweep.stopped) EndByStop();
  if (!sweep.error.empty()) Fail(sweep.error);

  const stats::MachineFacts machine = stats::ReadMachineFacts();
  if (runs) {
    const stats::Figures figures = stats::ComputeFigures(*runs);
    std::cout << stats::FormatTable(*runs, figures, machine) << "\n"
              << stats::FormatSweepTable(sweep, machine)
              << stats::FormatFixedAgainstPlacement(*runs, figures, sweep) << std::flush;
  } else {
    std::cout << stats::FormatSweepTable(sweep, machine) << std::flush;
  }
  if (!options.csv_path.empty()) WriteWhole(options.csv_path, stats::FormatSweepCsv(sweep));
  if (!options.svg_path.empty())
    WriteWhole(options.svg_path, stats::FormatSweepSvg(sweep, machine));
  return EXIT_SUCCESS;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
#ifdef ABSBENCH_SWEEP
  if (options.sweep) return Sweep(options);
#endif
  const stats::RunSet runs =
      options.reports.empty() ? CollectRuns(options.benchmark.empty() ? BenchmarkBesideThisProgram()
                                                                      : options.benchmark,
                                            options.runs)
                              : ReadSavedReports(options.reports);
  const stats::MachineFacts machine = stats::ReadMachineFacts();
  const stats::Figures figures = stats::ComputeFigures(runs);
  std::cout << stats::FormatTable(runs, figures, machine) << std::flush;
  if (!options.csv_path.empty()) WriteWhole(options.csv_path, stats::FormatCsv(runs));
  if (!options.svg_path.empty()) {
    WriteWhole(options.svg_path, stats::FormatSvg(runs, figures, machine));
  }
  return EXIT_SUCCESS;
}
