#include "stats/sweep/output/table.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "stats/math/figure_difference.h"
#include "stats/math/statistics.h"
#include "stats/sweep/output/noise.h"
#include "stats/sweep/output/prediction_gaps.h"
#include "stats/sweep/output/sweep_figures.h"
#include "stats/text/format.h"

namespace stats {

namespace {

// "64 placements (...), 52 rounds of 5 pairs of 2000 calls"
std::string Describe(const MeasureResult& measure) {
  const std::string placements = std::to_string(measure.grid.size()) + " placements ";
  const std::string each = ", " + std::to_string(measure.rounds) + " rounds of " +
                           std::to_string(measure.pairs) + " pairs of " +
                           std::to_string(measure.chunk_length) +
                           (IsBlock(measure.measure) ? " iterations" : " calls");
  if (!IsBlock(measure.measure)) {
    return placements +
           "(loop body at every 4th byte of a 64-byte block, kernel at 0, 16, 32 and 48)" + each;
  }
  return placements + "(blocks of " + std::to_string(measure.copies) + " and " +
         std::to_string(2 * measure.copies) +
         (measure.measure == SweepMeasure::LATENCY ? " dependent" : " independent") +
         " inline copies starting at every byte of a 64-byte block)" + each;
}

// The "predicted" and "meas-pred" cells, and whether the two disagree.
std::string PredictionCells(const Prediction* prediction, double measured, double uncertainty,
                            bool& disagrees) {
  disagrees = false;
  if (prediction == nullptr) return "";
  if (!prediction->made) return Padded("-", 11, true) + Padded("-", 11, true);
  const double difference = measured - prediction->cycles;
  disagrees = std::abs(difference) > DISAGREEMENT_CYCLES &&
              std::abs(difference) > DISAGREEMENT_UNCERTAINTIES * uncertainty;
  return Padded(Fixed(prediction->cycles, 2), 11, true) + Padded(Signed(difference, 2), 11, true);
}

size_t KernelColumn(const SweepResult& sweep) {
  size_t widest = 16;
  for (const Procedure& kernel : sweep.kernels)
    widest = std::max(widest, Shown(kernel.words).size());
  return widest + 2;
}

// After a figure that is not precise: its uncertainty, and why when the core was shared.
std::string PrecisionMark(const MeasureResult& measure, Pass pass, size_t kernel,
                          const std::string& name = "") {
  const FigurePrecision* figure = FigureOf(measure, pass, kernel);
  if (figure == nullptr || figure->precise) return "";
  return "  not precise: " + name + (name.empty() ? "" : " ") + "+-" +
         Fixed(figure->rounds_uncertainty_cycles, 3) +
         (figure->shared_core ? " on a shared core" : "");
}

// A figure's own uncertainty, or 0 when the measure has none for it.
double UncertaintyOf(const MeasureResult& measure, Pass pass, size_t kernel) {
  const FigurePrecision* figure = FigureOf(measure, pass, kernel);
  return figure == nullptr ? 0.0 : figure->uncertainty_cycles;
}

// Each ranked kernel's rank: a kernel whose figure the first of its group cannot be told from, by
// their uncertainties, shares that one's rank, marked with "=".
std::vector<std::string> Ranks(const MeasureResult& measure, Pass pass,
                               const std::vector<size_t>& ranked,
                               const std::vector<Spread>& spreads) {
  std::vector<std::string> ranks;
  size_t leader = 0, rank = 0;
  for (size_t at = 0; at < ranked.size(); ++at) {
    auto uncertainty = [&](size_t kernel) { return UncertaintyOf(measure, pass, kernel); };
    const size_t kernel = ranked[at], first = ranked[leader];
    if (at == 0 || Distinguishable(spreads[first].median, uncertainty(first),
                                   spreads[kernel].median, uncertainty(kernel))) {
      leader = at;
      rank = at + 1;
    }
    const bool tied = at != leader || (at + 1 < ranked.size() &&
                                       !Distinguishable(spreads[kernel].median, uncertainty(kernel),
                                                        spreads[ranked[at + 1]].median,
                                                        uncertainty(ranked[at + 1])));
    ranks.push_back(std::to_string(rank) + (tied ? "=" : ""));
  }
  return ranks;
}

// The kernels a measure ranks, smallest median first, those it left out last.
std::vector<size_t> Ranked(const MeasureResult& measure, Pass pass,
                           const std::vector<Spread>& spreads) {
  std::vector<size_t> ranked;
  for (size_t kernel : RankByMedian(spreads)) {
    if (!NetsOf(measure, pass, kernel).empty()) ranked.push_back(kernel);
  }
  return ranked;
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
      << (IsBlock(measure.measure) ? "copy" : "call")
      << " over the placements, ranked by median (\"=\": a rank shared by kernels the same within "
         "their "
         "uncertainties)\n"
      << Padded("rank  kernel", column + 6, false)
      << "median ms  cycles  IQR ms  IQR cycles  >1/2 cycle away in both halves"
      << (sweep.predicted ? "  predicted  meas-pred" : "") << "\n";
  const std::vector<size_t> ranked = Ranked(measure, pass, spreads);
  const std::vector<std::string> ranks = Ranks(measure, pass, ranked, spreads);
  for (size_t at = 0; at < ranked.size(); ++at) {
    const size_t kernel = ranked[at];
    const Spread& spread = spreads[kernel];
    const Spread& spread_ms = spreads_ms[kernel];
    const double share = LayoutEffectShare(measure, pass, kernel);
    bool disagrees = false;
    out << Padded(ranks[at], 4, true) << "  "
        << Padded(Shown(sweep.kernels[kernel].words), column, false)
        << Padded(Fixed(spread_ms.median, 1), 9, true) << Padded(Fixed(spread.median, 2), 8, true)
        << Padded(Fixed(spread_ms.third_quartile - spread_ms.first_quartile, 1), 8, true)
        << Padded(Fixed(spread.third_quartile - spread.first_quartile, 2), 12, true)
        << Padded(Fixed(100 * share, 0) + "%", 32, true)
        << PredictionCells(PredictionOf(sweep, measure, pass, kernel), spread.median,
                           UncertaintyOf(measure, pass, kernel), disagrees)
        << (LayoutSensitive(measure, pass, kernel) ? "  layout-sensitive" : "")
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
      << MeasureName(sweep.measures[0].measure)
      << " (\"=\": a rank shared by kernels the same within their uncertainties)\n"
      << Padded("rank  kernel", column + 6, false);
  for (const MeasureResult& measure : sweep.measures) {
    out << Padded(MeasureName(measure.measure), 12, true)
        << (sweep.predicted && IsBlock(measure.measure) ? "  predicted  meas-pred" : "");
  }
  out << "\n";
  const std::vector<Spread> first = SpreadsOf(sweep, sweep.measures[0], pass);
  std::vector<size_t> ranked = Ranked(sweep.measures[0], pass, first);
  const std::vector<std::string> ranks = Ranks(sweep.measures[0], pass, ranked, first);
  for (size_t kernel : RankByMedian(first)) {
    if (std::find(ranked.begin(), ranked.end(), kernel) == ranked.end()) ranked.push_back(kernel);
  }
  for (size_t at = 0; at < ranked.size(); ++at) {
    const size_t kernel = ranked[at];
    std::string marked, disagreeing, imprecise;
    out << Padded(at < ranks.size() ? ranks[at] : "-", 4, true) << "  "
        << Padded(Shown(sweep.kernels[kernel].words), column, false);
    for (const MeasureResult& measure : sweep.measures) {
      const std::string name = MeasureName(measure.measure);
      const std::vector<double> nets = NetsOf(measure, pass, kernel);
      const double median = nets.empty() ? 0 : Quantile(nets, 0.5);
      out << Padded(nets.empty() ? "-" : Fixed(median, 2), 12, true);
      bool disagrees = false;
      const Prediction* prediction = PredictionOf(sweep, measure, pass, kernel);
      if (prediction != nullptr && nets.empty()) {
        out << Padded("-", 11, true) << Padded("-", 11, true);
      } else {
        out << PredictionCells(prediction, median, UncertaintyOf(measure, pass, kernel), disagrees);
      }
      if (disagrees) disagreeing += (disagreeing.empty() ? "" : ", ") + name;
      imprecise += PrecisionMark(measure, pass, kernel, name);
      if (LayoutSensitive(measure, pass, kernel)) {
        marked += (marked.empty() ? "  layout-sensitive: " : ", ") + name;
      }
    }
    out << marked << (disagreeing.empty() ? "" : "  disagrees with the model: " + disagreeing)
        << imprecise << "\n";
  }
}

}  // namespace

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
          << MeasureName(sweep.measures[at].measure);
    }
  }
  out << ", seed " << sweep.settings.seed << "\n";
  if (sweep.measures.size() > 1) {
    for (const MeasureResult& measure : sweep.measures) {
      out << MeasureName(measure.measure) << ": " << Describe(measure) << "\n";
    }
  }
  out << "processor: " << machine.processor << ", pinned to CPU " << sweep.settings.cpu << "\n";
  if (sweep.predicted) {
    out << "model: llvm-mca's " << sweep.model.cpu << " beside this host's " << sweep.model.host
        << (sweep.model.note.empty() ? "" : "; " + sweep.model.note)
        << "; predicted: one copy and its glue over 1000 iterations, in cycles per copy\n"
        << "model: the path each pass runs; jumps count as instructions, a taken jump's redirect "
           "is not charged\n";
  }
  out << "priority raise: " << (machine.priority_raise_allowed ? "allowed" : "refused") << "\n"
      << "containment: " << sweep.containment << "\n"
      << "core clock: " << Fixed(sweep.slowest_clock_ghz, 2) << " to "
      << Fixed(sweep.fastest_clock_ghz, 2)
      << " GHz seen; no figure depends on it: every timing is paired with a chain of dependent "
         "one-cycle additions timed right after it, and counted in cycles of that chain; ms per "
         "10^9 calls are those cycles at the median clock, "
      << Fixed(sweep.median_clock_ghz, 2) << " GHz\n";
  for (const std::string& left : sweep.left_out) out << "left out: " << Shown(left) << "\n";
  for (const MeasureResult& measure : sweep.measures) {
    out << NoiseLines(sweep, measure);
    for (const std::string& refusal : measure.refusals) {
      out << MeasureName(measure.measure) << ": not measured for " << Shown(refusal) << "\n";
    }
  }
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    if (sweep.measures.size() == 1) {
      OneMeasureTable(sweep, sweep.measures[0], pass, out);
    } else {
      MeasuresTable(sweep, pass, out);
    }
  }
  const std::string gaps = sweep.predicted ? NoPredictionLines(sweep.model) : "";
  if (!gaps.empty()) out << "\n" << gaps;
  return out.str();
}

}  // namespace stats
