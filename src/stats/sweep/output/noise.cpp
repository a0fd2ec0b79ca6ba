#include "stats/sweep/output/noise.h"

#include "stats/sweep/output/sweep_figures.h"
#include "stats/text/format.h"

namespace stats {

std::string NoiseLines(const SweepResult& sweep, const MeasureResult& measure) {
  // A shared core's rounds are left out, unless every round was shared.
  const bool all_shared = !measure.figures.empty() && measure.figures.front().shared_core;
  const bool left_out = measure.shared_rounds != 0 && !all_shared;
  const uint32_t half = (measure.rounds - (left_out ? measure.shared_rounds : 0)) / 2;
  const bool named = sweep.measures.size() > 1;
  const std::string name = MeasureName(measure.measure);
  const std::string precision = Fixed(sweep.settings.precision_cycles, 3) + " cycle";
  size_t precise = 0;
  for (const FigurePrecision& figure : measure.figures) precise += figure.precise ? 1 : 0;
  // Every figure can be within the precision at the last check before it has held long enough.
  const std::string short_of = precise == measure.figures.size()
                                   ? ", every figure within the precision asked for, " + precision +
                                         ", but not yet on enough rounds to end on it"
                                   : ", short of the precision asked for, " + precision + ", in " +
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
  const std::string unit = IsBlock(measure.measure) ? " cycle per copy" : " cycle";
  std::string worst;
  if (const FigurePrecision* least = LeastPrecise(measure.figures)) {
    worst = ", at most " + Fixed(least->rounds_uncertainty_cycles, 3) + " (" +
            sweep.kernels[least->kernel].name + ", " + PASS_NAMES[least->pass] + " pass)";
  }
  std::string lines =
      "noise: " + (named ? name + " " : "") + Fixed(measure.noise_floor_cycles, 3) + unit +
      " typical" + worst +
      ": how far each kernel's median over the placements moved between the first " +
      std::to_string(half) + " and the last " + std::to_string(half) + " rounds" +
      (!left_out ? ""
                 : " (" + std::to_string(measure.shared_rounds) +
                       (measure.shared_rounds == 1 ? " round" : " rounds") +
                       " on a shared core left out)") +
      "; " + ended + "\n";
  if (all_shared) {
    lines += "noise: " + (named ? name + ": " : "") + "this core's other thread was busy: " +
             (!IsBlock(measure.measure) ? std::string("the call cost") : name) +
             " is that of a shared core\n";
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

}  // namespace stats
