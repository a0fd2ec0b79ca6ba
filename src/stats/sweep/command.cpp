// The sweep command: the kernels to place (the user's checked first), the measurement pinned to
// one processor, the table, and the CSV, chart and result record if asked.
#include <iostream>
#include <optional>

#include "stats/cli/commands.h"
#include "stats/host/machine_facts.h"
#include "stats/host/measuring_thread.h"
#include "stats/record/result_json.h"
#include "stats/runs/runner.h"
#include "stats/sweep/isolation/contract_check.h"
#include "stats/sweep/isolation/measuring_process.h"
#include "stats/sweep/measurement.h"
#include "stats/sweep/output/chart.h"
#include "stats/sweep/output/csv.h"
#include "stats/sweep/output/layout_verdict.h"
#include "stats/sweep/output/result_export.h"
#include "stats/sweep/output/table.h"
#include "stats/sweep/placed/procedures.h"
#include "stats/sweep/prediction/model.h"
#include "stats/sweep/user_code/user_kernel.h"
#include "stats/system/child_roles.h"
#include "stats/system/machine.h"
#include "stats/system/processes.h"
#include "stats/text/file_output.h"
#include "stats/text/format.h"
#include "stats/text/progress.h"

namespace stats {

namespace {

constexpr const char* BUSY_HOST_PROGRESS =
    "sweep: the host is busy, waiting for quieter rounds; measurement";

// The table's kernels and the user's, each user kernel read; or the exit code when one cannot be.
std::optional<int> AddUserKernels(const SweepOptions& options, std::vector<Procedure>& kernels) {
  for (const UserKernelArgument& argument : options.user_kernels) {
    std::vector<std::string> taken = {EmptyProcedureCopy().name};
    for (const Procedure& kernel : kernels) taken.push_back(kernel.name);
    auto parsed = ParseUserKernel(argument, taken);
    if (StopRequested() != StopRequest::NONE) return ExitCodeOf(StopRequested());
    // What the user typed wrong; the reason is enough, without the whole usage.
    if (const auto* problem = std::get_if<std::string>(&parsed))
      return Failure(*problem, EXIT_USAGE);
    kernels.push_back(std::get<Procedure>(parsed));
  }
  return {};
}

// The user's kernels that fail the check before timing, taken out, each "NAME: why".
std::vector<std::string> LeaveOutMisbehaving(std::vector<Procedure>& kernels) {
  std::vector<std::string> left_out;
  for (auto kernel = kernels.begin(); kernel != kernels.end();) {
    const ContractCheck check =
        kernel->origin == Procedure::Origin::TABLE ? ContractCheck{} : CheckUserKernel(*kernel);
    if (check.problem.empty()) {
      kernel->inline_refusal = check.inline_refusal;
      ++kernel;
    } else {
      left_out.push_back(kernel->name + ": " + check.problem);
      kernel = kernels.erase(kernel);
    }
  }
  return left_out;
}

}  // namespace

int RunSweepCommand(const SweepOptions& options) {
  if (const int refused = CheckOutputPaths(
          {{"--csv", options.csv_path}, {"--svg", options.svg_path}, {"--json", options.json_path}},
          {{"--benchmark", options.benchmark}, {"--mca", options.mca}})) {
    return refused;
  }
  // From the first child on (the assembler), so that a stop still removes its scratch folder.
  InstallStopHandlers();
  std::vector<Procedure> kernels = TableProcedures();
  ModelTools model_tools;
  if (options.predict) {
    std::string missing;
    model_tools = FindModelTools(options.mca, missing);
    if (!missing.empty()) return Failure(missing, EXIT_USAGE);
  }
  if (const std::optional<int> refused = AddUserKernels(options, kernels)) return *refused;
  // Every kernel runs in a child that is this program started again.
  if (const std::string problem = WhyThisProgramCannotStartItself(); !problem.empty()) {
    return Failure(problem);
  }
  std::optional<CollectedRuns> fixed_layout;
  if (options.fixed_layout_runs) {
    fixed_layout =
        CollectRuns(options.benchmark.empty() ? BenchmarkBesideThisProgram() : options.benchmark,
                    *options.fixed_layout_runs);
    if (fixed_layout->exit_code != 0) {
      return fixed_layout->problem.empty()
                 ? fixed_layout->exit_code
                 : Failure(fixed_layout->problem, fixed_layout->exit_code);
    }
  }
  SweepSettings settings = options.settings;
  const bool cpu_given = settings.cpu >= 0;
  if (!cpu_given) settings.cpu = CurrentCpu();
  if (settings.cpu < 0) {
    return Failure("the system does not say which processor this runs on; choose one with --cpu N");
  }
  if (const std::string problem = PinAndRaisePriority(settings.cpu); !problem.empty()) {
    return cpu_given ? UsageFailure(problem) : Failure(problem);
  }
  const std::vector<std::string> failed_check = LeaveOutMisbehaving(kernels);
  if (StopRequested() != StopRequest::NONE) return ExitCodeOf(StopRequested());
  ModelPredictions model;
  if (options.predict) {
    model = Predict(model_tools, options.predict_for, kernels, settings.measures);
    if (StopRequested() != StopRequest::NONE) return ExitCodeOf(StopRequested());
    if (!model.problem.empty()) return Failure("no prediction: " + model.problem, EXIT_USAGE);
  }
  SweepResult sweep;
  {
    ProgressLine progress("sweep: measurement");
    sweep =
        RunSweepInMeasuringProcess(kernels, settings, [&](size_t done, size_t total, bool waiting) {
          if (waiting) progress.Rename(BUSY_HOST_PROGRESS);
          progress.Show(done, total);
        });
  }
  if (sweep.stopped) return ExitCodeOf(StopRequested());
  if (!sweep.error.empty()) return Failure(sweep.error);
  sweep.left_out.insert(sweep.left_out.begin(), failed_check.begin(), failed_check.end());
  sweep.predicted = options.predict;
  sweep.model = model;

  const MachineFacts machine = ReadMachineFacts();
  if (fixed_layout) {
    const Figures figures = ComputeFigures(fixed_layout->runs);
    std::cout << FormatTable(fixed_layout->runs, figures, machine) << "\n"
              << FormatSweepTable(sweep, machine)
              << FormatFixedAgainstPlacement(fixed_layout->runs, figures, sweep) << std::flush;
  } else {
    std::cout << FormatSweepTable(sweep, machine) << std::flush;
  }
  const std::string record =
      options.json_path.empty()
          ? ""
          : ResultToJson(RecordOfSweep(sweep, machine, ReadProcessorFacts(), UtcNow()));
  const int written =
      WriteRequestedFiles({std::pair{options.csv_path, FormatSweepCsv(sweep)},
                           std::pair{options.svg_path, FormatSweepSvg(sweep, machine)},
                           std::pair{options.json_path, record}});
  if (written == 0 && !options.json_path.empty()) {
    std::cout << "\nresult record: " << Shown(options.json_path) << " (absbench-stats --compare "
              << Shown(options.json_path) << " OTHER.json...)\n"
              << std::flush;
  }
  if (written != 0 || sweep.left_out.empty()) return written;
  std::string names;
  for (const std::string& left : sweep.left_out) {
    names += (names.empty() ? "" : ", ") + left.substr(0, left.find(':'));
  }
  return Failure("left out, not measured: " + names);
}

}  // namespace stats
