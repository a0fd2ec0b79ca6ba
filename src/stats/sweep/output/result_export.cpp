#include "stats/sweep/output/result_export.h"

#include <cmath>
#include <cstdio>

#include "stats/math/statistics.h"
#include "stats/text/format.h"

namespace stats {

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string hex;
  for (uint8_t byte : bytes) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", byte);
    hex += pair;
  }
  return hex;
}

const char* EndName(RoundsRecord::End end) {
  switch (end) {
    case RoundsRecord::PRECISE:
      return "precise";
    case RoundsRecord::TIME_UP:
    case RoundsRecord::WAITED_OUT:
      return "time_up";
    default:
      return "rounds_done";
  }
}

RecordFigure RecordFigureOf(const SweepResult& sweep, const MeasureResult& measure, Pass pass,
                            size_t kernel) {
  RecordFigure figure;
  figure.measure = MeasureName(measure.measure);
  figure.pass = PASS_NAMES[pass];
  const Spread spread = DescribeSpread(NetsOf(measure, pass, kernel));
  figure.median_cycles = spread.median;
  const FigurePrecision* precision = FigureOf(measure, pass, kernel);
  figure.uncertainty_cycles = precision != nullptr ? precision->uncertainty_cycles : 0;
  figure.rounds_uncertainty_cycles =
      precision != nullptr ? precision->rounds_uncertainty_cycles : 0;
  figure.precise = precision != nullptr && precision->precise;
  figure.shared_core = precision != nullptr && precision->shared_core;
  figure.iqr_cycles = spread.third_quartile - spread.first_quartile;
  figure.share_away = LayoutEffectShare(measure, pass, kernel);
  figure.layout_sensitive = precision != nullptr && precision->layout_sensitive;
  if (sweep.predicted) {
    const Prediction* prediction =
        sweep.model.For(measure.measure, pass, sweep.kernels[kernel].name);
    if (prediction != nullptr && prediction->made) {
      figure.predicted_cycles = prediction->cycles;
      figure.model = sweep.model.cpu;
    }
  }
  for (const SweepSample& sample : measure.samples) {
    if (sample.pass != pass || sample.kernel != kernel) continue;
    const Placement& placement = measure.grid[sample.placement];
    figure.cells.push_back({sample.placement, placement.loop_offset, placement.kernel_offset,
                            sample.net_cycles, sample.first_half_cycles,
                            sample.second_half_cycles});
  }
  return figure;
}

}  // namespace

ResultRecord RecordOfSweep(const SweepResult& sweep, const MachineFacts& machine,
                           const ProcessorFacts& processor, const std::string& date_utc) {
  ResultRecord record;
  record.program_version = ABSBENCH_VERSION;
  record.date_utc = date_utc;
  record.machine = {processor.vendor,
                    processor.family,
                    processor.model,
                    processor.stepping,
                    Shown(processor.brand),
                    processor.microarchitecture,
                    processor.logical_cpus,
                    processor.hypervisor,
                    Shown(processor.kernel_release),
                    sweep.settings.cpu,
                    machine.priority_raise_allowed};
  const SweepSettings& settings = sweep.settings;
  for (SweepMeasure measure : settings.measures) {
    record.settings.measures.push_back(MeasureName(measure));
  }
  record.settings.precision_cycles = settings.precision_cycles;
  record.settings.seconds = SweepCapSeconds(settings);
  record.settings.rounds = settings.rounds;
  record.settings.calls = settings.calls;
  record.settings.seed = settings.seed;
  record.slowest_clock_ghz = sweep.slowest_clock_ghz;
  record.fastest_clock_ghz = sweep.fastest_clock_ghz;
  for (const MeasureResult& measure : sweep.measures) {
    record.measures.push_back({MeasureName(measure.measure), EndName(measure.end), measure.rounds,
                               measure.noise_floor_cycles, measure.chunk_length,
                               measure.grid.size(), measure.waited, measure.slowest_clock_ghz,
                               measure.fastest_clock_ghz});
  }
  for (size_t kernel = 0; kernel < sweep.kernels.size(); ++kernel) {
    const Procedure& procedure = sweep.kernels[kernel];
    RecordKernel& kept = record.kernels.emplace_back();
    kept.name = procedure.name;
    kept.bytes_hex = Hex(procedure.bytes);
    // The record holds only what its reader takes: a user's text shown, its lines kept.
    kept.assembly = Shown(procedure.assembly, true);
    for (const MeasureResult& measure : sweep.measures) {
      for (Pass pass : {POSITIVE, NEGATIVE}) {
        if (NetsOf(measure, pass, kernel).empty()) continue;  // the measure left it out
        kept.figures.push_back(RecordFigureOf(sweep, measure, pass, kernel));
      }
    }
  }
  for (const std::string& left : sweep.left_out) record.left_out.push_back(Shown(left));
  record.containment = sweep.containment;
  for (const MeasureResult& measure : sweep.measures) {
    for (const std::string& refusal : measure.refusals) {
      record.left_out.push_back(std::string(MeasureName(measure.measure)) + ": " + Shown(refusal));
    }
  }
  return record;
}

}  // namespace stats
