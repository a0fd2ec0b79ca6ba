#include "stats/sweep/output/csv.h"

#include <sstream>

#include "stats/sweep/output/sweep_figures.h"
#include "stats/text/format.h"

namespace stats {

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
          << MeasureName(measure.measure) << "," << Fixed(sample.first_half_cycles, 4) << ","
          << Fixed(sample.second_half_cycles, 4);
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

}  // namespace stats
