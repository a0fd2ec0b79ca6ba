#include "stats/sweep/output/prediction_gaps.h"

#include <utility>
#include <vector>

namespace stats {

std::string NoPredictionLines(const ModelPredictions& model) {
  struct Gap {
    std::string kernel, why_not, where;
  };
  std::vector<Gap> gaps;
  for (const ModelPredictions::Entry& entry : model.entries) {
    // A kernel whose copies were refused is not measured either, and its refusal says why.
    if (entry.prediction.made || entry.prediction.why_not == NOT_MEASURED) continue;
    const std::string where =
        std::string(MeasureName(entry.measure)) + " " + PASS_NAMES[entry.pass];
    bool joined = false;
    for (Gap& gap : gaps) {
      if (gap.kernel == entry.kernel && gap.why_not == entry.prediction.why_not) {
        gap.where += ", " + where;
        joined = true;
      }
    }
    if (!joined) gaps.push_back({entry.kernel, entry.prediction.why_not, where});
  }
  std::string lines;
  for (const Gap& gap : gaps) {
    lines += "model: no prediction (-) for " + gap.kernel + " (" + gap.where + "): " + gap.why_not +
             "\n";
  }
  return lines;
}

}  // namespace stats
