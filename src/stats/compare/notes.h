// What makes a file's figures less comparable, each a line under the tables.
#pragma once

#include <string>
#include <vector>

#include "stats/compare/comparison.h"

namespace stats {

// The notes of `file`: measures short of their precision, and why; kernels left out; and, for
// a file after the baseline, where its schema version or settings differ from the baseline's.
void NoteDifferences(const ComparedFile& file, const ComparedFile& baseline, bool is_baseline,
                     std::vector<std::string>& notes);

}  // namespace stats
