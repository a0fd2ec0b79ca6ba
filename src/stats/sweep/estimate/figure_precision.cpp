#include "stats/sweep/estimate/figure_precision.h"

#include <algorithm>
#include <cmath>

#include "stats/math/placement_uncertainty.h"
#include "stats/math/statistics.h"

namespace stats {

std::vector<FigurePrecision> FiguresOf(const std::vector<SweepSample>& samples,
                                       double precision_cycles, bool shared_core) {
  struct Nets {
    Pass pass;
    size_t kernel;
    std::vector<double> all, first, second;
  };
  std::vector<Nets> grouped;
  for (const SweepSample& sample : samples) {
    auto nets = std::find_if(grouped.begin(), grouped.end(), [&](const Nets& nets) {
      return nets.pass == sample.pass && nets.kernel == sample.kernel;
    });
    if (nets == grouped.end())
      nets = grouped.insert(nets, {sample.pass, sample.kernel, {}, {}, {}});
    nets->all.push_back(sample.net_cycles);
    nets->first.push_back(sample.first_half_cycles);
    nets->second.push_back(sample.second_half_cycles);
  }
  std::vector<FigurePrecision> figures;
  for (const Nets& nets : grouped) {
    FigurePrecision& figure = figures.emplace_back();
    figure.pass = nets.pass;
    figure.kernel = nets.kernel;
    figure.median_cycles = Quantile(nets.all, 0.5);
    figure.rounds_uncertainty_cycles =
        std::abs(Quantile(nets.first, 0.5) - Quantile(nets.second, 0.5));
    figure.layout_sensitive =
        RepeatedShareAway(nets.first, nets.second, LAYOUT_AWAY_CYCLES) > LAYOUT_SENSITIVE_SHARE;
    figure.uncertainty_cycles =
        FigureUncertainty(figure.rounds_uncertainty_cycles, nets.all, figure.layout_sensitive);
    figure.shared_core = shared_core;
    figure.precise = !shared_core && figure.rounds_uncertainty_cycles <= precision_cycles;
  }
  return figures;
}

bool AllPrecise(const std::vector<FigurePrecision>& figures) {
  for (const FigurePrecision& figure : figures) {
    if (!figure.precise) return false;
  }
  return true;
}

const FigurePrecision* LeastPrecise(const std::vector<FigurePrecision>& figures) {
  const FigurePrecision* least = nullptr;
  for (const FigurePrecision& figure : figures) {
    if (least == nullptr || figure.rounds_uncertainty_cycles > least->rounds_uncertainty_cycles) {
      least = &figure;
    }
  }
  return least;
}

double TypicalUncertainty(const std::vector<FigurePrecision>& figures) {
  std::vector<double> uncertainties;
  for (const FigurePrecision& figure : figures) {
    uncertainties.push_back(figure.rounds_uncertainty_cycles);
  }
  return uncertainties.empty() ? 0 : Quantile(uncertainties, 0.5);
}

}  // namespace stats
