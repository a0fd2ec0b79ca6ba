// A command's files (the CSV and the chart) are written whole or not at all, as its last step.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace stats {

// Writes each file whose path is not empty, in order: 0; 1 after the first that fails, said on
// standard error; 128 + the signal when a stop came first.
int WriteRequestedFiles(const std::vector<std::pair<std::string, std::string>>& files);

// A path a command reads or writes, with the words that name it: "--csv", "the record".
struct NamedPath {
  std::string words;
  std::string path;  // empty when not given
};

// Before anything runs: an output that names an input or another output (the same file, or the
// same path where it does not exist yet; devices and FIFOs aside) is refused with exit 2, and
// every output is tried (exit 1 when one cannot be written), so that no work is lost at the end.
// 0 when all is well.
int CheckOutputPaths(const std::vector<NamedPath>& outputs, const std::vector<NamedPath>& inputs);

}  // namespace stats
