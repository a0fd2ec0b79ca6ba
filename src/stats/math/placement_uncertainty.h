// How far a layout-sensitive kernel's figure may move with the placements alone. Its placements
// fall in groups half a cycle or more apart, and how many land in each group changes from run to
// run, by more than one run's halves can see: the median over them may stand in either group.
#pragma once

#include <vector>

namespace stats {

// A share of placements above this, more than LAYOUT_AWAY_CYCLES from the median in both halves
// alike, makes a kernel "layout-sensitive".
constexpr double LAYOUT_SENSITIVE_SHARE = 0.10;
constexpr double LAYOUT_AWAY_CYCLES = 0.5;

// The larger distance from the median of `nets` (one per placement) to the values 1.5 sqrt(n)
// places below and above it: three standard errors of how many placements fall below the median,
// as chance alone would move them. Runs of one machine move them further (13 to 33 of 64 slow).
// 0 when `nets` is empty.
double PlacementUncertainty(std::vector<double> nets);

// A figure's uncertainty: its rounds' (the halves apart) and, when the kernel is layout-sensitive,
// its placements', as independent errors.
double FigureUncertainty(double rounds_uncertainty, const std::vector<double>& nets,
                         bool layout_sensitive);

}  // namespace stats
