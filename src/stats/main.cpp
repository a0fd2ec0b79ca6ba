// absbench-stats: repeated runs of the benchmark, or saved reports, summarised robustly.
#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
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

namespace {

using Clock = std::chrono::steady_clock;

constexpr int EXIT_USAGE = 2;
constexpr int DEFAULT_RUNS = 5;
constexpr int MAX_RUNS = 1000;

const char USAGE[] =
    "usage: absbench-stats [-n RUNS] [--csv FILE] [--svg FILE] [--benchmark PATH] [REPORT...]\n";

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
    "writes no CSV or chart.\n";

struct Options {
  int runs = DEFAULT_RUNS;
  bool runs_given = false;
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

Options ParseOptions(int argc, char** argv) {
  static const option LONG_OPTIONS[] = {{"csv", required_argument, nullptr, 'c'},
                                        {"svg", required_argument, nullptr, 's'},
                                        {"benchmark", required_argument, nullptr, 'b'},
                                        {"help", no_argument, nullptr, 'h'},
                                        {nullptr, 0, nullptr, 0}};
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

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
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
