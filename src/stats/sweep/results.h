// What a sweep found, and the questions the table, the CSV and the chart ask of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stats/options.h"
#include "stats/sweep/figure_precision.h"
#include "stats/sweep/placement.h"
#include "stats/sweep/prediction.h"
#include "stats/sweep/procedures.h"
#include "stats/sweep/rounds.h"

namespace stats {

struct SweepSettings {
  std::vector<SweepMeasure> measures = {SweepMeasure::CALL};
  uint32_t calls = 0;   // per chunk; 0: from a short calibration
  uint32_t rounds = 0;  // exactly this many; 0: until the precision is reached or time is up
  double precision_cycles = 0.02;
  double seconds = 0;  // for all the measures together, a hard cap; 0: DefaultSweepSeconds, and
                       // up to BUSY_HOST_SECONDS while the host is too busy for the precision
  uint64_t seed = 0;
  int cpu = -1;  // where the measuring thread is pinned
};

// 8 s for one measure and 4 s for each further one.
double DefaultSweepSeconds(size_t measures);
// How long a sweep without --seconds may wait for quieter rounds, all its measures together.
constexpr double BUSY_HOST_SECONDS = 40;

// One measure's nets per kernel, pass and placement.
struct MeasureResult {
  SweepMeasure measure = SweepMeasure::CALL;
  std::vector<Placement> grid;
  uint32_t chunk_length = 0;  // per timed chunk: calls of the loop, or iterations of a block
  uint32_t copies = 1;        // per iteration of the smaller block; nets are per copy
  uint32_t pairs = 0;         // per visit
  uint32_t rounds = 0;        // done
  RoundsRecord::End end = RoundsRecord::ROUNDS_DONE;
  std::vector<size_t> kernels;        // those measured, as indices into SweepResult::kernels
  std::vector<std::string> refusals;  // those not measured here, each with the reason
  std::vector<SweepSample> samples;
  double noise_floor_cycles = 0;  // the figures' typical uncertainty
  // Per pass and kernel measured: the median over the placements and how far it can be trusted.
  std::vector<FigurePrecision> figures;
  uint32_t shared_rounds = 0;  // left out: the witness saw this core's other thread busy
  bool waited = false;         // went on past the usual time, waiting for quieter rounds
};

struct SweepResult {
  std::vector<Procedure> kernels;
  SweepSettings settings;
  double slowest_clock_ghz = 0, fastest_clock_ghz = 0;  // seen by the paired chains
  double median_clock_ghz = 0;          // of the first measure's visits: every ms is at this clock
  std::vector<MeasureResult> measures;  // in the order asked for
  bool predicted = false;               // with --predict
  ModelPredictions model;
  std::vector<std::string> left_out;  // "NAME: why", each a kernel not measured at all
  bool stopped = false;               // by Ctrl-C or SIGTERM
  std::string error;                  // empty when the sweep ran
};

// A distribution over placements: its median and quartiles.
struct Spread {
  double median = 0, first_quartile = 0, third_quartile = 0;
};
Spread DescribeSpread(const std::vector<double>& values);

// One figure of one kernel in one pass, in grid order: cycles from all rounds by default; empty
// when the measure left the kernel out.
std::vector<double> NetsOf(const MeasureResult& measure, Pass pass, size_t kernel,
                           double SweepSample::*net = &SweepSample::net_cycles);

// The share of a kernel's placements more than half a cycle from its median in both halves alike.
double LayoutEffectShare(const MeasureResult& measure, Pass pass, size_t kernel);

// A kernel's figure in one pass, or null when the measure left the kernel out.
const FigurePrecision* FigureOf(const MeasureResult& measure, Pass pass, size_t kernel);

// The measure asked for, or null.
const MeasureResult* Find(const SweepResult& result, SweepMeasure measure);

}  // namespace stats
