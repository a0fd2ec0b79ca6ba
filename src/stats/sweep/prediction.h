// What a static model says the measured blocks cost: llvm-mca, given the path each pass runs
// through one copy (glue and kernel) as a straight sequence of the instructions that ran, as
// llvm-mc of the same LLVM disassembles them, over many iterations so that a chain through the
// copies counts. A jump is one instruction of the sequence; the redirect of a taken one is not
// charged.
#pragma once

#include <string>
#include <vector>

#include "stats/options.h"
#include "stats/pass.h"
#include "stats/sweep/procedures.h"

namespace stats {

struct ModelTools {
  std::string mca, mc;
};

// `given` (--mca), or the newest llvm-mca-NN on PATH, or llvm-mca; with the llvm-mc beside it.
// Empty tools, with `problem` saying what is missing and which package brings it.
ModelTools FindModelTools(const std::string& given, std::string& problem);

// The reason given for a kernel whose inline copies are not measured.
constexpr const char* NOT_MEASURED = "not measured";

struct Prediction {
  bool made = false;
  double cycles = 0;    // per copy: latency net of the glue's own chain; throughput with the glue
  std::string why_not;  // when not made
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

// Predictions for every kernel, pass and block measure in `measures` (call is skipped), on the
// model `cpu` ("native" for this host's).
ModelPredictions Predict(const ModelTools& tools, const std::string& cpu,
                         const std::vector<Procedure>& kernels,
                         const std::vector<SweepMeasure>& measures);

}  // namespace stats
