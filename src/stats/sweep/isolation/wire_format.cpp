#include "stats/sweep/isolation/wire_format.h"

#include <cstdio>
#include <sstream>

namespace stats {

namespace {

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

}  // namespace

std::string SerializedResult(const SweepResult& result) {
  std::ostringstream out;
  out << "result\n";
  if (!result.error.empty()) out << "error " << result.error << "\n";
  out << "clock " << Number(result.slowest_clock_ghz) << " " << Number(result.fastest_clock_ghz)
      << " " << Number(result.median_clock_ghz) << "\n";
  for (const MeasureResult& measure : result.measures) {
    out << "measure " << static_cast<int>(measure.measure) << " " << measure.chunk_length << " "
        << measure.copies << " " << measure.pairs << " " << measure.rounds << " "
        << static_cast<int>(measure.end) << " " << Number(measure.noise_floor_cycles);
    for (size_t kernel : measure.kernels) out << " " << kernel;
    out << "\n";
    for (const std::string& refusal : measure.refusals) out << "refusal " << refusal << "\n";
    for (const SweepSample& sample : measure.samples) {
      out << "s " << sample.pass << " " << sample.kernel << " " << sample.placement << " "
          << Number(sample.net_ms) << " " << Number(sample.net_cycles) << " "
          << Number(sample.first_half_cycles) << " " << Number(sample.second_half_cycles) << "\n";
    }
  }
  out << "end\n";
  return out.str();
}

bool ReadBackResult(const std::string& report, SweepResult& result) {
  const size_t start = report.rfind("result\n");
  if (start == std::string::npos || report.size() < 4 ||
      report.compare(report.size() - 4, 4, "end\n") != 0) {
    return false;
  }
  std::istringstream lines(report.substr(start + 7));
  MeasureResult* measure = nullptr;
  for (std::string line; std::getline(lines, line) && line != "end";) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "error") {
      result.error = line.substr(6);
    } else if (kind == "clock") {
      words >> result.slowest_clock_ghz >> result.fastest_clock_ghz >> result.median_clock_ghz;
    } else if (kind == "measure") {
      int which = 0, end = 0;
      measure = &result.measures.emplace_back();
      words >> which >> measure->chunk_length >> measure->copies >> measure->pairs >>
          measure->rounds >> end >> measure->noise_floor_cycles;
      measure->measure = static_cast<SweepMeasure>(which);
      measure->end = static_cast<RoundsRecord::End>(end);
      measure->grid = GridFor(measure->measure);
      for (size_t kernel; words >> kernel;) measure->kernels.push_back(kernel);
    } else if (kind == "refusal" && measure != nullptr) {
      measure->refusals.push_back(line.substr(8));
    } else if (kind == "s" && measure != nullptr) {
      int pass = 0;
      SweepSample& sample = measure->samples.emplace_back();
      words >> pass >> sample.kernel >> sample.placement >> sample.net_ms >> sample.net_cycles >>
          sample.first_half_cycles >> sample.second_half_cycles;
      sample.pass = static_cast<Pass>(pass);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace stats
