#include "stats/sweep/output.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "stats/format.h"
#include "stats/statistics.h"

namespace stats {

namespace {

std::vector<Spread> SpreadsOf(const SweepResult& sweep, const MeasureResult& measure, Pass pass,
                              double SweepSample::*net = &SweepSample::net_cycles) {
  std::vector<Spread> spreads;
  for (size_t kernel = 0; kernel < sweep.kernels.size(); ++kernel) {
    const std::vector<double> nets = NetsOf(measure, pass, kernel, net);
    // A kernel the measure left out ranks last.
    spreads.push_back(nets.empty() ? Spread{HUGE_VAL, 0, 0} : DescribeSpread(nets));
  }
  return spreads;
}

bool IsBlock(const MeasureResult& measure) { return measure.measure != SweepMeasure::CALL; }

// "64 placements (...), 52 rounds of 5 pairs of 2000 calls"
std::string Describe(const MeasureResult& measure) {
  const std::string placements = std::to_string(measure.grid.size()) + " placements ";
  const std::string each = ", " + std::to_string(measure.rounds) + " rounds of " +
                           std::to_string(measure.pairs) + " pairs of " +
                           std::to_string(measure.chunk_length) +
                           (IsBlock(measure) ? " iterations" : " calls");
  if (!IsBlock(measure)) {
    return placements +
           "(loop body at every 4th byte of a 64-byte block, kernel at 0, 16, 32 and 48)" + each;
  }
  return placements + "(blocks of " + std::to_string(measure.copies) + " and " +
         std::to_string(2 * measure.copies) +
         (measure.measure == SweepMeasure::LATENCY ? " dependent" : " independent") +
         " inline copies starting at every byte of a 64-byte block)" + each;
}

// The model's prediction for a kernel's block measure, or null when none was asked for.
const Prediction* PredictionOf(const SweepResult& sweep, const MeasureResult& measure, Pass pass,
                               size_t kernel) {
  if (!sweep.predicted || !IsBlock(measure)) return nullptr;
  return sweep.model.For(measure.measure, pass, sweep.kernels[kernel].name);
}

// The "predicted" and "meas-pred" cells, and whether the two disagree.
std::string PredictionCells(const Prediction* prediction, double measured, double noise_floor,
                            bool& disagrees) {
  disagrees = false;
  if (prediction == nullptr) return "";
  if (!prediction->made) return Padded("-", 11, true) + Padded("-", 11, true);
  const double difference = measured - prediction->cycles;
  disagrees = std::abs(difference) > DISAGREEMENT_CYCLES &&
              std::abs(difference) > DISAGREEMENT_FLOORS * noise_floor;
  return Padded(Fixed(prediction->cycles, 2), 11, true) + Padded(Signed(difference, 2), 11, true);
}

size_t KernelColumn(const SweepResult& sweep) {
  size_t widest = 16;
  for (const Procedure& kernel : sweep.kernels) widest = std::max(widest, kernel.words.size());
  return widest + 2;
}

// After a figure that is not precise: its uncertainty, and why when the core was shared.
std::string PrecisionMark(const MeasureResult& measure, Pass pass, size_t kernel,
                          const std::string& name = "") {
  const FigurePrecision* figure = FigureOf(measure, pass, kernel);
  if (figure == nullptr || figure->precise) return "";
  return "  not precise: " + name + (name.empty() ? "" : " ") + "+-" +
         Fixed(figure->uncertainty_cycles, 3) + (figure->shared_core ? " on a shared core" : "");
}

// Per pass the detailed table of one measure, as the sweep has always printed it.
void OneMeasureTable(const SweepResult& sweep, const MeasureResult& measure, Pass pass,
                     std::ostringstream& out) {
  const std::vector<Spread> spreads = SpreadsOf(sweep, measure, pass);
  const std::vector<Spread> spreads_ms = SpreadsOf(sweep, measure, pass, &SweepSample::net_ms);
  const size_t column = KernelColumn(sweep);
  out << "\n"
      << PASS_NAMES[pass] << " pass (operand " << PASS_OPERANDS[pass] << "), "
      << (measure.measure == SweepMeasure::THROUGHPUT ? "glue and kernel" : "net") << " per "
      << (IsBlock(measure) ? "copy" : "call") << " over the placements, ranked by median\n"
      << Padded("rank  kernel", column + 6, false)
      << "median ms  cycles  IQR ms  IQR cycles  >1/2 cycle away in both halves"
      << (sweep.predicted ? "  predicted  meas-pred" : "") << "\n";
  int rank = 0;
  for (size_t kernel : RankByMedian(spreads)) {
    if (NetsOf(measure, pass, kernel).empty()) continue;
    const Spread& spread = spreads[kernel];
    const Spread& spread_ms = spreads_ms[kernel];
    const double share = LayoutEffectShare(measure, pass, kernel);
    bool disagrees = false;
    out << Padded(std::to_string(++rank), 4, true) << "  "
        << Padded(sweep.kernels[kernel].words, column, false)
        << Padded(Fixed(spread_ms.median, 1), 9, true) << Padded(Fixed(spread.median, 2), 8, true)
        << Padded(Fixed(spread_ms.third_quartile - spread_ms.first_quartile, 1), 8, true)
        << Padded(Fixed(spread.third_quartile - spread.first_quartile, 2), 12, true)
        << Padded(Fixed(100 * share, 0) + "%", 32, true)
        << PredictionCells(PredictionOf(sweep, measure, pass, kernel), spread.median,
                           measure.noise_floor_cycles, disagrees)
        << (share > LAYOUT_SENSITIVE_SHARE ? "  layout-sensitive" : "")
        << (disagrees ? "  disagrees with the model" : "") << PrecisionMark(measure, pass, kernel)
        << "\n";
  }
}

// Per pass a column of median cycles per measure, ranked by the first measure.
void MeasuresTable(const SweepResult& sweep, Pass pass, std::ostringstream& out) {
  const size_t column = KernelColumn(sweep);
  out << "\n"
      << PASS_NAMES[pass] << " pass (operand " << PASS_OPERANDS[pass]
      << "), median core cycles over the placements (call: net per call; latency: net per copy; "
         "throughput: glue and kernel per copy), ranked by "
      << MEASURE_NAMES[static_cast<int>(sweep.measures[0].measure)] << "\n"
      << Padded("rank  kernel", column + 6, false);
  for (const MeasureResult& measure : sweep.measures) {
    out << Padded(MEASURE_NAMES[static_cast<int>(measure.measure)], 12, true)
        << (sweep.predicted && IsBlock(measure) ? "  predicted  meas-pred" : "");
  }
  out << "\n";
  int rank = 0;
  for (size_t kernel : RankByMedian(SpreadsOf(sweep, sweep.measures[0], pass))) {
    std::string marked, disagreeing, imprecise;
    out << Padded(std::to_string(++rank), 4, true) << "  "
        << Padded(sweep.kernels[kernel].words, column, false);
    for (const MeasureResult& measure : sweep.measures) {
      const std::string name = MEASURE_NAMES[static_cast<int>(measure.measure)];
      const std::vector<double> nets = NetsOf(measure, pass, kernel);
      const double median = nets.empty() ? 0 : Quantile(nets, 0.5);
      out << Padded(nets.empty() ? "-" : Fixed(median, 2), 12, true);
      bool disagrees = false;
      const Prediction* prediction = PredictionOf(sweep, measure, pass, kernel);
      if (prediction != nullptr && nets.empty()) {
        out << Padded("-", 11, true) << Padded("-", 11, true);
      } else {
        out << PredictionCells(prediction, median, measure.noise_floor_cycles, disagrees);
      }
      if (disagrees) disagreeing += (disagreeing.empty() ? "" : ", ") + name;
      imprecise += PrecisionMark(measure, pass, kernel, name);
      if (!nets.empty() && LayoutEffectShare(measure, pass, kernel) > LAYOUT_SENSITIVE_SHARE) {
        marked += (marked.empty() ? "  layout-sensitive: " : ", ") + name;
      }
    }
    out << marked << (disagreeing.empty() ? "" : "  disagrees with the model: " + disagreeing)
        << imprecise << "\n";
  }
}

}  // namespace

std::string NoiseLines(const SweepResult& sweep, const MeasureResult& measure) {
  // A shared core's rounds are left out, unless every round was shared.
  const bool all_shared = !measure.figures.empty() && measure.figures.front().shared_core;
  const bool left_out = measure.shared_rounds != 0 && !all_shared;
  const uint32_t half = (measure.rounds - (left_out ? measure.shared_rounds : 0)) / 2;
  const bool named = sweep.measures.size() > 1;
  const std::string name = MEASURE_NAMES[static_cast<int>(measure.measure)];
  const std::string precision = Fixed(sweep.settings.precision_cycles, 3) + " cycle";
  size_t precise = 0;
  for (const FigurePrecision& figure : measure.figures) precise += figure.precise ? 1 : 0;
  const std::string short_of = ", short of the precision asked for, " + precision + ", in " +
                               std::to_string(measure.figures.size() - precise) + " of " +
                               std::to_string(measure.figures.size()) + " figures";
  std::string ended;
  switch (measure.end) {
    case RoundsRecord::PRECISE:
      ended = "ended when every figure reached the precision asked for, " + precision +
              (measure.waited ? ", after waiting for quieter rounds" : "");
      break;
    case RoundsRecord::TIME_UP:
      ended = "ended when its time was up" + short_of;
      break;
    case RoundsRecord::WAITED_OUT:
      ended = "ended when its wait for quieter rounds was up" + short_of;
      break;
    default:
      ended = "ended after the rounds asked for";
  }
  const std::string unit = IsBlock(measure) ? " cycle per copy" : " cycle";
  std::string worst;
  if (const FigurePrecision* least = LeastPrecise(measure.figures)) {
    worst = ", at most " + Fixed(least->uncertainty_cycles, 3) + " (" +
            sweep.kernels[least->kernel].name + ", " + PASS_NAMES[least->pass] + " pass)";
  }
  std::string lines =
      "noise: " + (named ? name + " " : "") + Fixed(measure.noise_floor_cycles, 3) + unit +
      " typical" + worst +
      ": how far each kernel's median over the placements moved between the first " +
      std::to_string(half) + " and the last " + std::to_string(half) + " rounds" +
      (!left_out
           ? ""
           : " (" + std::to_string(measure.shared_rounds) + " rounds on a shared core left out)") +
      "; " + ended + "\n";
  if (all_shared) {
    lines += "noise: " + (named ? name + ": " : "") +
             "this core's other thread was busy: throughput is that of a shared core\n";
  }
  if (measure.noise_floor_cycles > NOISY_HOST_CYCLES) {
    lines +=
        "noise: this host is too noisy for fine distinctions: differences under about " +
        Fixed(2 * measure.noise_floor_cycles, 1) +
        " cycle may be noise alone. For more precision give it more time (--seconds 60), pin it to "
        "a processor nothing else uses (--cpu N), or measure at a quieter moment.\n";
  }
  return lines;
}

std::string FormatSweepTable(const SweepResult& sweep, const MachineFacts& machine) {
  std::ostringstream out;
  out << "absbench-stats --sweep: ";
  if (sweep.measures.size() == 1) {
    out << Describe(sweep.measures[0]);
  } else {
    for (size_t at = 0; at < sweep.measures.size(); ++at) {
      out << (at == 0                           ? ""
              : at + 1 == sweep.measures.size() ? " and "
                                                : ", ")
          << MEASURE_NAMES[static_cast<int>(sweep.measures[at].measure)];
    }
  }
  out << ", seed " << sweep.settings.seed << "\n";
  if (sweep.measures.size() > 1) {
    for (const MeasureResult& measure : sweep.measures) {
      out << MEASURE_NAMES[static_cast<int>(measure.measure)] << ": " << Describe(measure) << "\n";
    }
  }
  out << "processor: " << machine.processor << ", pinned to CPU " << sweep.settings.cpu << "\n";
  if (sweep.predicted) {
    out << "model: llvm-mca's " << sweep.model.cpu
        << (sweep.model.note.empty() ? "" : "; " + sweep.model.note)
        << "; predicted: one copy and its glue over 1000 iterations, in cycles per copy\n";
    std::string branchy;
    for (const Procedure& kernel : sweep.kernels) {
      const Prediction* latency = sweep.model.For(SweepMeasure::LATENCY, POSITIVE, kernel.name);
      const Prediction* throughput =
          sweep.model.For(SweepMeasure::THROUGHPUT, POSITIVE, kernel.name);
      const Prediction* either = latency != nullptr ? latency : throughput;
      if (either != nullptr && !either->made && either->why_not.rfind("it branches", 0) == 0) {
        branchy += (branchy.empty() ? "" : ", ") + kernel.name;
      }
    }
    if (!branchy.empty()) {
      out << "model: no prediction (-) for " << branchy
          << ": they branch, and the model does not follow branches\n";
    }
  }
  out << "priority raise: " << (machine.priority_raise_allowed ? "allowed" : "refused") << "\n"
      << "core clock: " << Fixed(sweep.slowest_clock_ghz, 2) << " to "
      << Fixed(sweep.fastest_clock_ghz, 2)
      << " GHz seen; no figure depends on it: every timing is paired with a chain of dependent "
         "one-cycle additions timed right after it, and counted in cycles of that chain; ms per "
         "10^9 calls are those cycles at the median clock, "
      << Fixed(sweep.median_clock_ghz, 2) << " GHz\n";
  for (const std::string& left : sweep.left_out) out << "left out: " << left << "\n";
  for (const MeasureResult& measure : sweep.measures) {
    out << NoiseLines(sweep, measure);
    for (const std::string& refusal : measure.refusals) {
      out << MEASURE_NAMES[static_cast<int>(measure.measure)] << ": not measured for " << refusal
          << "\n";
    }
  }
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    if (sweep.measures.size() == 1) {
      OneMeasureTable(sweep, sweep.measures[0], pass, out);
    } else {
      MeasuresTable(sweep, pass, out);
    }
  }
  return out.str();
}

std::string FormatSweepCsv(const SweepResult& sweep) {
  std::ostringstream out;
  out << "pass,kernel,loop_offset,kernel_offset,net_ms,net_cycles,measure,first_half_cycles,"
         "second_half_cycles,predicted_cycles,model\n";
  for (const MeasureResult& measure : sweep.measures) {
    for (const SweepSample& sample : measure.samples) {
      const Placement& placement = measure.grid[sample.placement];
      out << PASS_NAMES[sample.pass] << "," << sweep.kernels[sample.kernel].name << ","
          << placement.loop_offset << "," << placement.kernel_offset << ","
          << Fixed(sample.net_ms, 3) << "," << Fixed(sample.net_cycles, 4) << ","
          << MEASURE_NAMES[static_cast<int>(measure.measure)] << ","
          << Fixed(sample.first_half_cycles, 4) << "," << Fixed(sample.second_half_cycles, 4);
      const Prediction* prediction = PredictionOf(sweep, measure, sample.pass, sample.kernel);
      if (prediction != nullptr && prediction->made) {
        out << "," << Fixed(prediction->cycles, 4) << "," << sweep.model.cpu << "\n";
      } else {
        out << ",,\n";
      }
    }
  }
  return out.str();
}

FixedLayoutVerdict JudgeFixedLayout(const std::vector<double>& runs_cycles, double placed_cycles) {
  const double difference = std::abs(Quantile(runs_cycles, 0.5) - placed_cycles);
  if (difference <= 0.5) return {};
  const size_t runs = runs_cycles.size();
  if (runs < 2) return {FixedLayoutVerdict::CANNOT_TELL, 3};  // one run shows no spread
  double mean = 0, squares = 0;
  for (double run : runs_cycles) mean += run / static_cast<double>(runs);
  for (double run : runs_cycles) squares += (run - mean) * (run - mean);
  // A median's standard error is about 1.25 standard deviations over the root of the runs.
  const double deviation = std::sqrt(squares / static_cast<double>(runs - 1));
  const double standard_error = 1.25 * deviation / std::sqrt(static_cast<double>(runs));
  if (difference > 2 * standard_error) return {FixedLayoutVerdict::EFFECT_OF_PLACEMENT, 0};
  const double needed = std::ceil(std::pow(2 * 1.25 * deviation / difference, 2));
  return {FixedLayoutVerdict::CANNOT_TELL,
          static_cast<int>(std::clamp(needed, static_cast<double>(runs + 1), 1000.0))};
}

std::string FormatFixedAgainstPlacement(const RunSet& runs, const Figures& figures,
                                        const SweepResult& sweep) {
  const MeasureResult* calls = Find(sweep, SweepMeasure::CALL);
  if (calls == nullptr) return "";
  std::ostringstream out;
  out << "\nthis build's fixed layout (median of " << runs.reports.size()
      << (runs.reports.size() == 1 ? " run" : " runs")
      << ") against the median over the placements, ms per 10^9 calls; the difference in cycles at "
         "the sweep's median clock, "
      << Fixed(sweep.median_clock_ghz, 2)
      << " GHz, between the runs' ms so turned and the placements' own cycles\n"
      << "pass      kernel              fixed  placements  difference in cycles\n";
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    const std::vector<Spread> spreads = SpreadsOf(sweep, *calls, pass, &SweepSample::net_ms);
    for (size_t kernel = 0; kernel < sweep.kernels.size(); ++kernel) {
      const int row = sweep.kernels[kernel].table_row;
      if (row < 0) continue;  // a user's kernel: the benchmark has no figure for it
      const double fixed = figures.passes[pass].kernels[row].median;
      const double placed = spreads[kernel].median;
      const double placed_cycles = Quantile(NetsOf(*calls, pass, kernel), 0.5);
      // The benchmark's figures are only in ms: the clock the sweep saw most turns them to cycles.
      const double to_cycles = sweep.median_clock_ghz / 1000;
      const double difference = fixed * to_cycles - placed_cycles;
      std::vector<double> runs_cycles;
      for (const Report& report : runs.reports) {
        runs_cycles.push_back(report.net_ms[pass][row] * to_cycles);
      }
      const FixedLayoutVerdict verdict = JudgeFixedLayout(runs_cycles, placed_cycles);
      out << Padded(PASS_NAMES[pass], 10, false) << Padded(sweep.kernels[kernel].words, 18, false)
          << Padded(FormatMedian(fixed), 7, true) << Padded(Fixed(placed, 1), 12, true)
          << Padded(Signed(difference, 2), 22, true);
      if (verdict.kind == FixedLayoutVerdict::EFFECT_OF_PLACEMENT) {
        out << "  an effect of where the code lands";
      } else if (verdict.kind == FixedLayoutVerdict::CANNOT_TELL) {
        out << "  not enough runs to tell; about " << verdict.runs_needed << " would";
      }
      out << "\n";
    }
  }
  return out.str();
}

}  // namespace stats
