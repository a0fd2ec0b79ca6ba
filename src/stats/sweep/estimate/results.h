// What a sweep found, and the questions the table, the CSV and the chart ask of it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "stats/measure.h"
#include "stats/sweep/estimate/figure_precision.h"
#include "stats/sweep/estimate/grid.h"
#include "stats/sweep/estimate/predictions.h"
#include "stats/sweep/estimate/procedure.h"
#include "stats/sweep/estimate/rounds.h"

namespace stats {

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
  double slowest_clock_ghz = 0, fastest_clock_ghz = 0;  // seen by this measure's paired chains
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
  std::string containment;            // the walls the measuring processes stood behind
  bool stopped = false;               // by Ctrl-C or SIGTERM
  std::string error;                  // empty when the sweep ran
};

// Where a cell's copies of a kernel lie in memory: `copies` of its `length` bytes, the first at
// `first` and each `stride` bytes after the one before.
struct PlacedCopies {
  uint64_t first = 0, stride = 0, length = 0, copies = 0;
};

// What a sweep tells, and asks, whatever runs it.
struct SweepHooks {
  // In visits; `waiting` once the usual time is past and the rounds go on for quieter ones.
  std::function<void(size_t done, size_t total, bool waiting)> progress;
  // Which kernel (an index into the sweep's kernels, or -1 for the empty procedure) and placement
  // of which measure runs next, before its code runs.
  std::function<void(SweepMeasure, int kernel, size_t placement)> entering;
  // Then where that cell's copies of its procedure lie (the empty procedure's too), for words on
  // a fault.
  std::function<void(const PlacedCopies&)> copies_entered;
  std::function<bool()> stop_requested;
  // A kernel's chunk failed its check (checked_chunks.h): what it did. The sweep goes on after it
  // returns, so a measuring process ends itself here.
  std::function<void(const std::string&)> broke;
  // After every timed chunk, when none broke: a chunk of an odd count ends with a state flipped on
  // every call still flipped.
  std::function<void()> chunk_ended;
  // The seconds the process was stopped (Ctrl-Z) so far, as it was told: time that counts toward
  // no time of the sweep, and rounds that are left out. Absent: never stopped.
  std::function<double()> stopped_seconds;
  // Once what needs the system before any measure is done, just before the first kernel byte.
  std::function<void()> prepared;
  // Each measure as it ends (an index into the result's measures), with the sweep so far.
  std::function<void(const SweepResult&, size_t measure)> finished;
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

// Whether a kernel's figure in one pass is layout-sensitive; false when the measure left it out.
bool LayoutSensitive(const MeasureResult& measure, Pass pass, size_t kernel);

// A kernel's figure in one pass, or null when the measure left the kernel out.
const FigurePrecision* FigureOf(const MeasureResult& measure, Pass pass, size_t kernel);

// The measure asked for, or null.
const MeasureResult* Find(const SweepResult& result, SweepMeasure measure);

// The clocks of the sweep so far widened by a later part's; the median stays the first part's,
// the one clock every ms is at.
void MergeClocks(SweepResult& result, bool first, double slowest_ghz, double fastest_ghz,
                 double median_ghz);

}  // namespace stats
