#include "stats/compare/comparison.h"

#include <algorithm>
#include <map>
#include <set>

#include "stats/compare/notes.h"
#include "stats/pass.h"

namespace stats {

const char VERDICT_RULE[] =
    "faster or slower when the difference from the baseline, in whole ten-thousandths of a "
    "cycle, is at least 0.05 cycle and larger than twice the root of the sum of the squares of "
    "the two figures' uncertainties, each taken as at least its measure's noise floor in its "
    "file; same otherwise, and always for a figure measured on a shared core";

namespace {

// A file's kernels by name, and its measures' noise floors, so that a comparison of many kernels
// looks each up in logarithmic time.
struct FileIndex {
  std::map<std::string, const RecordKernel*> kernels;
  std::map<std::string, double> floors;
};

FileIndex IndexOf(const ResultRecord& record) {
  FileIndex index;
  for (const RecordKernel& kernel : record.kernels) index.kernels.emplace(kernel.name, &kernel);
  for (const RecordMeasure& measure : record.measures) {
    index.floors.emplace(measure.measure, measure.noise_floor_cycles);
  }
  return index;
}

const RecordKernel* FindKernel(const FileIndex& index, const std::string& name) {
  const auto found = index.kernels.find(name);
  return found == index.kernels.end() ? nullptr : found->second;
}

// The uncertainty a verdict takes: one draw of how far the halves differ (the whole of it, unless
// the figure is layout-sensitive) can be near 0 by chance, so it is taken as at least what is
// typical of its measure in its file. A figure measured on a
// shared core may be off by far more than its halves show, and tells nothing of the kernel.
double JudgedUncertainty(const FileIndex& index, const RecordFigure& figure) {
  if (figure.shared_core) return DIFFERENCE_LARGEST_CYCLES;
  const auto floor = index.floors.find(figure.measure);
  return std::max(figure.uncertainty_cycles, floor == index.floors.end() ? 0.0 : floor->second);
}

// Each item once, in the order first seen.
void AddOnce(std::vector<std::string>& items, std::set<std::string>& seen,
             const std::string& item) {
  if (seen.insert(item).second) items.push_back(item);
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
  std::set<std::string> measures_seen, kernels_seen;
  std::vector<FileIndex> indexes;
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
    for (const RecordMeasure& measure : file.record.measures) {
      AddOnce(measures, measures_seen, measure.measure);
    }
    for (const RecordKernel& kernel : file.record.kernels) {
      AddOnce(kernels, kernels_seen, kernel.name);
    }
    indexes.push_back(IndexOf(file.record));
    NoteDifferences(file, files.front(), &file == &files.front(), comparison.notes);
  }
  std::vector<std::string> differing;
  std::set<std::string> differing_seen;
  for (const std::string& measure : measures) {
    for (const char* pass : PASS_NAMES) {
      ComparedTable& table = comparison.tables.emplace_back();
      table.measure = measure;
      table.pass = pass;
      for (const std::string& name : kernels) {
        ComparedRow& row = table.rows.emplace_back();
        row.kernel = name;
        row.cells.reserve(files.size());  // `baseline` points into it
        const RecordKernel* first_holder = nullptr;
        const ComparedCell* baseline = nullptr;
        double baseline_judged = 0;
        for (size_t at = 0; at < files.size(); ++at) {
          ComparedCell& cell = row.cells.emplace_back();
          const RecordKernel* kernel = FindKernel(indexes[at], name);
          const RecordFigure* figure =
              kernel == nullptr ? nullptr : FindFigure(*kernel, measure, pass);
          if (kernel != nullptr && first_holder == nullptr) first_holder = kernel;
          if (figure == nullptr) continue;
          cell.median = figure->median_cycles;
          cell.uncertainty = figure->uncertainty_cycles;
          cell.code_differs = kernel->bytes_hex != first_holder->bytes_hex;
          if (cell.code_differs) {
            AddOnce(differing, differing_seen,
                    name + ": the code differs in " + files[at].name + " from " +
                        (first_holder == FindKernel(indexes.front(), name)
                             ? "the baseline's"
                             : "the first file's that has it"));
          }
          const double judged = JudgedUncertainty(indexes[at], *figure);
          if (at == 0) {
            cell.verdict = Verdict::BASELINE;
            baseline = &cell;
            baseline_judged = judged;
          } else if (baseline != nullptr) {
            // In the units judged, so that the difference shown is the one the verdict saw.
            cell.difference = static_cast<double>(DifferenceUnits(cell.median) -
                                                  DifferenceUnits(baseline->median)) /
                              DIFFERENCE_UNITS_PER_CYCLE;
            cell.verdict = Judge(baseline->median, baseline_judged, cell.median, judged);
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
