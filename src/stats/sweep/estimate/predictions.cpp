#include "stats/sweep/estimate/predictions.h"

namespace stats {

const Prediction* ModelPredictions::For(SweepMeasure measure, Pass pass,
                                        const std::string& kernel) const {
  for (const Entry& entry : entries) {
    if (entry.measure == measure && entry.pass == pass && entry.kernel == kernel) {
      return &entry.prediction;
    }
  }
  return nullptr;
}

}  // namespace stats
