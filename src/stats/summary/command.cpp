// The summary command: repeated runs or saved reports, a table, and the CSV and chart if asked.
#include <iostream>

#include "stats/cli/commands.h"
#include "stats/runs/runner.h"
#include "stats/summary/chart.h"
#include "stats/text/file_output.h"

namespace stats {

int RunSummaryCommand(const SummaryOptions& options) {
  std::vector<NamedPath> inputs = {{"--benchmark", options.benchmark}};
  for (const std::string& report : options.reports) inputs.push_back({"the report", report});
  if (const int refused =
          CheckOutputPaths({{"--csv", options.csv_path}, {"--svg", options.svg_path}}, inputs)) {
    return refused;
  }
  const CollectedRuns collected =
      options.reports.empty() ? CollectRuns(options.benchmark.empty() ? BenchmarkBesideThisProgram()
                                                                      : options.benchmark,
                                            options.runs)
                              : ReadSavedReports(options.reports);
  if (collected.exit_code != 0) {
    return collected.problem.empty() ? collected.exit_code
                                     : Failure(collected.problem, collected.exit_code);
  }
  const MachineFacts machine = ReadMachineFacts();
  const Figures figures = ComputeFigures(collected.runs);
  std::cout << FormatTable(collected.runs, figures, machine) << std::flush;
  return WriteRequestedFiles(
      {std::pair{options.csv_path, FormatCsv(collected.runs)},
       std::pair{options.svg_path, FormatSvg(collected.runs, figures, machine)}});
}

}  // namespace stats
