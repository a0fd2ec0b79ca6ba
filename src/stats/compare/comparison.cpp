#include "stats/compare/comparison.h"

#include <algorithm>
#include <cmath>

#include "stats/format.h"

namespace stats {

const char VERDICT_RULE[] =
    "faster or slower when the difference from the baseline is larger than twice the root of the "
    "sum of the squares of the two figures' uncertainties, and at least 0.01 cycle; same "
    "otherwise";

namespace {

template <typename Item>
void AddOnce(std::vector<Item>& items, const Item& item) {
  if (std::find(items.begin(), items.end(), item) == items.end()) items.push_back(item);
}

const RecordKernel* FindKernel(const ResultRecord& record, const std::string& name) {
  for (const RecordKernel& kernel : record.kernels) {
    if (kernel.name == name) return &kernel;
  }
  return nullptr;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string joined;
  for (const std::string& item : items) joined += (joined.empty() ? "" : ",") + item;
  return joined;
}

// What makes a file's figures less comparable with the baseline's, each a line.
void NoteDifferences(const ComparedFile& file, const ComparedFile& baseline, bool is_baseline,
                     std::vector<std::string>& notes) {
  const ResultRecord& record = file.record;
  for (const RecordMeasure& measure : record.measures) {
    if (measure.end == "time_up") {
      notes.push_back(file.name + ": " + measure.measure + " did not reach its precision, " +
                      Fixed(record.settings.precision_cycles, 3) +
                      " cycle: its time was up; its uncertainties are wider");
    }
  }
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
    notes.push_back(file.name + ": measures " + Joined(record.settings.measures) +
                    ", the baseline's " + Joined(first.settings.measures));
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

}  // namespace

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::BASELINE:
      return "baseline";
    case Verdict::SAME:
      return "same";
    case Verdict::FASTER:
      return "faster";
    case Verdict::SLOWER:
      return "slower";
    case Verdict::NO_BASELINE:
      return "no baseline";
    case Verdict::MISSING:
      break;
  }
  return "missing";
}

Verdict Judge(double baseline_median, double baseline_uncertainty, double median,
              double uncertainty) {
  if (!Distinguishable(baseline_median, baseline_uncertainty, median, uncertainty)) {
    return Verdict::SAME;
  }
  return median < baseline_median ? Verdict::FASTER : Verdict::SLOWER;
}

Comparison Compare(const std::vector<ComparedFile>& files) {
  Comparison comparison;
  std::vector<std::string> measures, kernels;
  for (const ComparedFile& file : files) {
    const RecordMachine& machine = file.record.machine;
    comparison.files.push_back(file.name);
    comparison.machines.push_back(MachineShortName(machine));
    comparison.details.push_back(file.name + ": " + MachineShortName(machine) +
                                 (machine.brand.empty() || machine.microarchitecture.empty()
                                      ? ""
                                      : " (" + machine.brand + ")") +
                                 (machine.hypervisor ? ", under a hypervisor" : "") + ", CPU " +
                                 std::to_string(machine.pinned_cpu) + ", " + file.record.date_utc +
                                 ", absbench-stats " + file.record.program_version);
    for (const RecordMeasure& measure : file.record.measures) AddOnce(measures, measure.measure);
    for (const RecordKernel& kernel : file.record.kernels) AddOnce(kernels, kernel.name);
    NoteDifferences(file, files.front(), &file == &files.front(), comparison.notes);
  }
  std::vector<std::string> differing;
  for (const std::string& measure : measures) {
    for (const char* pass : {"positive", "negative"}) {
      ComparedTable& table = comparison.tables.emplace_back();
      table.measure = measure;
      table.pass = pass;
      for (const std::string& name : kernels) {
        ComparedRow& row = table.rows.emplace_back();
        row.kernel = name;
        row.cells.reserve(files.size());  // `baseline` points into it
        const RecordKernel* first_holder = nullptr;
        const ComparedCell* baseline = nullptr;
        for (const ComparedFile& file : files) {
          ComparedCell& cell = row.cells.emplace_back();
          const RecordKernel* kernel = FindKernel(file.record, name);
          const RecordFigure* figure =
              kernel == nullptr ? nullptr : FindFigure(*kernel, measure, pass);
          if (kernel != nullptr && first_holder == nullptr) first_holder = kernel;
          if (figure == nullptr) continue;
          cell.median = figure->median_cycles;
          cell.uncertainty = figure->uncertainty_cycles;
          cell.code_differs = kernel->bytes_hex != first_holder->bytes_hex;
          if (cell.code_differs) {
            AddOnce(differing, name + ": the code differs in " + file.name + " from " +
                                   (first_holder == FindKernel(files.front().record, name)
                                        ? "the baseline's"
                                        : "the first file's that has it"));
          }
          if (&file == &files.front()) {
            cell.verdict = Verdict::BASELINE;
            baseline = &cell;
          } else if (baseline != nullptr) {
            cell.difference = cell.median - baseline->median;
            cell.verdict =
                Judge(baseline->median, baseline->uncertainty, cell.median, cell.uncertainty);
          } else {
            cell.verdict = Verdict::NO_BASELINE;
          }
        }
      }
    }
  }
  comparison.notes.insert(comparison.notes.end(), differing.begin(), differing.end());
  return comparison;
}

}  // namespace stats
