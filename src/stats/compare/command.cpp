// The compare command: every file read and checked before anything is printed, so that a bad
// file leaves only its one line.
#include <iostream>

#include "stats/cli/commands.h"
#include "stats/compare/chart.h"
#include "stats/compare/tables.h"
#include "stats/record/result_json.h"
#include "stats/text/file_output.h"

namespace stats {

int RunCompareCommand(const CompareOptions& options) {
  std::vector<NamedPath> inputs;
  for (const std::string& path : options.files) inputs.push_back({"the record", path});
  if (const int refused =
          CheckOutputPaths({{"--csv", options.csv_path}, {"--svg", options.svg_path}}, inputs)) {
    return refused;
  }
  std::vector<ComparedFile> files;
  for (const std::string& path : options.files) {
    auto read = ReadResultFile(path);
    if (const auto* problem = std::get_if<std::string>(&read)) return Failure(*problem);
    files.push_back({Shown(path), std::move(std::get<ResultRecord>(read))});
  }
  const Comparison comparison = Compare(files);
  std::cout << (options.markdown ? FormatComparisonMarkdown(comparison)
                                 : FormatComparisonText(comparison))
            << std::flush;
  return WriteRequestedFiles({std::pair{options.csv_path, FormatComparisonCsv(comparison)},
                              std::pair{options.svg_path, FormatComparisonSvg(comparison)}});
}

}  // namespace stats
