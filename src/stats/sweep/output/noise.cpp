#include "stats/sweep/output/noise.h"

#include "stats/format.h"
#include "stats/sweep/output/sweep_figures.h"

namespace stats {

std::string NoiseLines(const SweepResult& sweep, const MeasureResult& measure) {
  const uint32_t half = measure.rounds / 2;
  const bool named = sweep.measures.size() > 1;
  const std::string precision = Fixed(sweep.settings.precision_cycles, 3) + " cycle";
  std::string ended;
  switch (measure.end) {
    case RoundsRecord::PRECISE:
      ended = "ended when it reached the precision asked for, " + precision;
      break;
    case RoundsRecord::TIME_UP:
      ended = "ended when its time was up, short of the precision asked for, " + precision;
      break;
    default:
      ended = "ended after the rounds asked for";
  }
  std::string lines =
      "noise: " + (named ? std::string(MeasureName(measure.measure)) + " " : "") +
      Fixed(measure.noise_floor_cycles, 3) + (IsBlock(measure) ? " cycle per copy" : " cycle") +
      ", the median difference between the nets of the first " + std::to_string(half) +
      " and the last " + std::to_string(half) + " rounds over " +
      std::to_string(measure.samples.size()) + " cells; " + ended + "\n";
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
