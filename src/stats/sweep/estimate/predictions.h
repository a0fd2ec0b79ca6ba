// What a static model said the measured blocks cost, kept beside what the sweep measured.
#pragma once

#include <string>
#include <vector>

#include "stats/measure.h"
#include "stats/pass.h"

namespace stats {

struct Prediction {
  enum Missing { MADE, NOT_MEASURED, BRANCHES } missing = NOT_MEASURED;
  double cycles = 0;  // per copy: latency net of the glue's own chain; throughput with the glue
  bool made() const { return missing == MADE; }
};

struct ModelPredictions {
  std::string cpu;      // the model's name, as llvm-mca reports it ("znver5")
  std::string note;     // empty, or what to know of the model ("LLVM has no model of its own ...")
  std::string problem;  // when the tools failed: then nothing was predicted
  struct Entry {
    SweepMeasure measure;
    Pass pass;
    std::string kernel;  // its name
    Prediction prediction;
  };
  std::vector<Entry> entries;
  // The prediction for a kernel, or null when none was asked for.
  const Prediction* For(SweepMeasure measure, Pass pass, const std::string& kernel) const;
};

}  // namespace stats
