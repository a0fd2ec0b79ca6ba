// absbench-stats: repeated runs of the benchmark, or saved reports, summarised robustly; or every
// kernel timed at many code placements; or the result files of sweeps compared.
#include <iostream>
#include <string>
#include <variant>
#include <vector>

#include "stats/cli/commands.h"
#include "stats/cli/options.h"

int main(int argc, char** argv) {
  // A child process of this program's own plays its role and never comes back here.
  const std::vector<std::string> arguments = stats::StartProgram(argc, argv);
  stats::PlayRoleIfAsked(argc, argv, stats::CompanionRoles());
  const stats::Command command = stats::ParseCommandLine(arguments);
  if (const auto* error = std::get_if<stats::UsageError>(&command)) {
    return stats::UsageFailure(error->message);
  }
  if (std::holds_alternative<stats::HelpRequest>(command)) {
    std::cout << stats::USAGE << "\n" << stats::HelpText();
    return stats::WithStandardOutputChecked(0);
  }
  int code;
  if (const auto* sweep = std::get_if<stats::SweepOptions>(&command)) {
    code = stats::RunSweepCommand(*sweep);
  } else if (const auto* compare = std::get_if<stats::CompareOptions>(&command)) {
    code = stats::RunCompareCommand(*compare);
  } else {
    code = stats::RunSummaryCommand(std::get<stats::SummaryOptions>(command));
  }
  return stats::WithStandardOutputChecked(code);
}
