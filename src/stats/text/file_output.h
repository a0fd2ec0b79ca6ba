// A command's files (the CSV and the chart) are written whole or not at all, as its last step.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace stats {

// Writes each file whose path is not empty, in order: 0; 1 after the first that fails, said on
// standard error; 128 + the signal when a stop came first.
int WriteRequestedFiles(const std::vector<std::pair<std::string, std::string>>& files);

}  // namespace stats
