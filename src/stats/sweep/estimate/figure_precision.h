// How far each figure the sweep shows can be trusted. A figure is one kernel's median over the
// placements, in one pass of one measure; its rounds' uncertainty is how far that median moves
// between the first and the second half of the rounds, each half measured on its own. A state of
// the machine that holds for part of the rounds moves one half and not the other, so it shows in
// the very figure it shifts, however few of the cells it touches. More rounds make it smaller;
// they cannot make a layout-sensitive median stand still (placement_uncertainty.h).
#pragma once

#include <cstddef>
#include <vector>

#include "stats/pass.h"
#include "stats/sweep/estimate/rounds.h"

namespace stats {

struct FigurePrecision {
  Pass pass = POSITIVE;
  size_t kernel = 0;                     // as in the samples
  double median_cycles = 0;              // over the placements, from every round kept
  double rounds_uncertainty_cycles = 0;  // the two halves' medians apart
  double uncertainty_cycles = 0;         // the rounds' and, when layout-sensitive, the placements'
  bool layout_sensitive = false;
  bool precise = false;      // the rounds' uncertainty within the precision, on a core alone
  bool shared_core = false;  // no round was free of a busy other thread on this core
};

// Every kernel's figure in both passes, in the order of first appearance in `samples`.
std::vector<FigurePrecision> FiguresOf(const std::vector<SweepSample>& samples,
                                       double precision_cycles, bool shared_core);

bool AllPrecise(const std::vector<FigurePrecision>& figures);
// The figure of the largest rounds' uncertainty, or null when there are none.
const FigurePrecision* LeastPrecise(const std::vector<FigurePrecision>& figures);
// The median of the figures' rounds' uncertainties.
double TypicalUncertainty(const std::vector<FigurePrecision>& figures);

}  // namespace stats
