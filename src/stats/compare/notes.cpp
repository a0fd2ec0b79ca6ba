#include "stats/compare/notes.h"

#include "stats/text/format.h"

namespace stats {

namespace {

std::string Joined(const std::vector<std::string>& items, const std::string& between) {
  std::string joined;
  for (const std::string& item : items) joined += (joined.empty() ? "" : between) + item;
  return joined;
}

// Per measure, how many of its figures are short of the precision, and why.
void NotePrecision(const ComparedFile& file, std::vector<std::string>& notes) {
  const ResultRecord& record = file.record;
  for (const RecordMeasure& measure : record.measures) {
    size_t figures = 0, short_of = 0, shared = 0;
    for (const RecordKernel& kernel : record.kernels) {
      for (const RecordFigure& figure : kernel.figures) {
        if (figure.measure != measure.measure) continue;
        ++figures;
        short_of += figure.precise ? 0 : 1;
        shared += !figure.precise && figure.shared_core ? 1 : 0;
      }
    }
    if (short_of == 0) continue;
    std::vector<std::string> why;
    if (measure.end == "rounds_done") {
      why.push_back("it ended after the " + std::to_string(measure.rounds) + " rounds asked for");
    } else if (measure.end == "time_up") {
      why.push_back(measure.waited ? "its wait for quieter rounds was up" : "its time was up");
    }
    if (shared != 0) {
      why.push_back(
          std::to_string(shared) +
          " measured on a shared core (its other thread was busy), which give no verdict");
    }
    notes.push_back(file.name + ": " + measure.measure + ": " + std::to_string(short_of) + " of " +
                    std::to_string(figures) + " figures short of the precision, " +
                    Fixed(record.settings.precision_cycles, 3) + " cycle" +
                    (why.empty() ? "" : ": " + Joined(why, "; ")) +
                    (shared == short_of ? "" : "; their uncertainties are wider"));
  }
}

}  // namespace

void NoteDifferences(const ComparedFile& file, const ComparedFile& baseline, bool is_baseline,
                     std::vector<std::string>& notes) {
  const ResultRecord& record = file.record;
  NotePrecision(file, notes);
  for (const std::string& left : record.left_out) {
    notes.push_back(file.name + ": left out, not measured: " + left);
  }
  if (is_baseline) return;
  const ResultRecord& first = baseline.record;
  if (record.schema_minor != first.schema_minor) {
    notes.push_back(file.name + ": schema version " + std::to_string(record.schema_major) + "." +
                    std::to_string(record.schema_minor) + ", the baseline's " +
                    std::to_string(first.schema_major) + "." + std::to_string(first.schema_minor) +
                    ": its figures may be estimated in another way");
  }
  if (record.settings.measures != first.settings.measures) {
    notes.push_back(file.name + ": measures " + Joined(record.settings.measures, ",") +
                    ", the baseline's " + Joined(first.settings.measures, ","));
  }
  if (record.settings.precision_cycles != first.settings.precision_cycles) {
    notes.push_back(file.name + ": precision " + Fixed(record.settings.precision_cycles, 3) +
                    " cycle, the baseline's " + Fixed(first.settings.precision_cycles, 3));
  }
  if (record.settings.rounds != first.settings.rounds) {
    const auto rounds = [](uint32_t value) {
      return value == 0 ? std::string("until the precision") : std::to_string(value);
    };
    notes.push_back(file.name + ": rounds " + rounds(record.settings.rounds) + ", the baseline's " +
                    rounds(first.settings.rounds));
  }
}

}  // namespace stats
