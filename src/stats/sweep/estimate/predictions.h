// What a static model said the measured blocks cost, kept beside what the sweep measured.
#pragma once

#include <string>
#include <vector>

#include "stats/measure.h"
#include "stats/pass.h"

namespace stats {

// The reason given for a kernel whose inline copies are not measured.
constexpr const char* NOT_MEASURED = "not measured";

struct Prediction {
  bool made = false;
  double cycles = 0;    // per copy: latency net of the glue's own chain; throughput with the glue
  std::string why_not;  // when not made: shown once under the table
};

struct ModelPredictions {
  std::string cpu;      // the model's name, as llvm-mca reports it ("znver5")
  std::string host;     // this host's processor, as CPUID names it ("AMD family 25 model 17")
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
