// The kernels of a result record: every name one the sweep could have written, and every figure
// and cell once, so that nothing a comparison prints or looks up can be forged or multiplied.
#include <algorithm>
#include <set>

#include "stats/math/placement_uncertainty.h"
#include "stats/record/result_json_field.h"

namespace stats {

namespace {

// As the sweep names kernels: 1 to 16 letters, digits or underscores.
bool KernelNameOk(const std::string& name) {
  return !name.empty() && name.size() <= 16 && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
}

RecordFigure ReadFigure(const RecordField& field, const ResultRecord& record) {
  RecordFigure figure;
  figure.measure = field["measure"].OneOf(MEASURE_NAMES);
  figure.pass = field["pass"].OneOf(PASS_NAMES);
  size_t placements = 0;
  for (const RecordMeasure& measure : record.measures) {
    if (measure.measure == figure.measure) placements = measure.placements;
  }
  if (placements == 0) field["measure"].Refuse("a measure the record's measures do not list");
  figure.median_cycles = field["median_cycles"].Number();
  figure.uncertainty_cycles = field["uncertainty_cycles"].Number();
  if (figure.uncertainty_cycles < 0) field["uncertainty_cycles"].Refuse("below zero");
  figure.rounds_uncertainty_cycles = figure.uncertainty_cycles;
  if (record.schema_minor >= 2) {
    figure.rounds_uncertainty_cycles = field["rounds_uncertainty_cycles"].Number();
    if (figure.rounds_uncertainty_cycles < 0) {
      field["rounds_uncertainty_cycles"].Refuse("below zero");
    }
    if (figure.rounds_uncertainty_cycles > figure.uncertainty_cycles) {
      field["rounds_uncertainty_cycles"].Refuse("above uncertainty_cycles, of which it is a part");
    }
  }
  figure.iqr_cycles = field["iqr_cycles"].Number();
  figure.share_away = field["share_away"].Number();
  figure.layout_sensitive = field["layout_sensitive"].Flag();
  if (record.schema_minor >= 1) {
    figure.precise = field["precise"].Flag();
    figure.shared_core = field["shared_core"].Flag();
  } else {
    figure.precise = figure.uncertainty_cycles <= record.settings.precision_cycles;
  }
  if (!field["predicted_cycles"].IsNull()) {
    figure.predicted_cycles = field["predicted_cycles"].Number();
    figure.model = field["model"].Text();
  }
  std::vector<bool> seen(placements);
  for (const RecordField& item : field["cells"].Items(placements)) {
    RecordCell& cell = figure.cells.emplace_back();
    cell.placement = item["placement"].Whole(placements - 1);
    if (seen[cell.placement]) item["placement"].Refuse("a placement given twice");
    seen[cell.placement] = true;
    cell.loop_offset = static_cast<int>(item["loop_offset"].Whole(63));
    cell.kernel_offset = static_cast<int>(item["kernel_offset"].Whole(63));
    cell.net_cycles = item["net_cycles"].Number();
    cell.first_half_cycles = item["first_half_cycles"].Number();
    cell.second_half_cycles = item["second_half_cycles"].Number();
  }
  // Before 1.2 a layout-sensitive figure's uncertainty left out how far its median may move with
  // the placements alone; its cells tell.
  if (record.schema_minor < 2) {
    std::vector<double> nets;
    for (const RecordCell& cell : figure.cells) nets.push_back(cell.net_cycles);
    figure.uncertainty_cycles =
        FigureUncertainty(figure.uncertainty_cycles, nets, figure.layout_sensitive);
  }
  return figure;
}

RecordKernel ReadKernel(const RecordField& field, const ResultRecord& record) {
  RecordKernel kernel;
  kernel.name = field["name"].Text();
  if (!KernelNameOk(kernel.name)) {
    field["name"].Refuse("not 1 to 16 letters, digits or underscores, but " + Quoted(kernel.name));
  }
  kernel.bytes_hex = field["bytes"].Text();
  if (kernel.bytes_hex.size() % 2 != 0 ||
      kernel.bytes_hex.find_first_not_of("0123456789abcdef") != std::string::npos) {
    field["bytes"].Refuse("not lower-case hex bytes");
  }
  kernel.assembly = field["assembly"].Text(true);
  // A figure per measure and pass, at most.
  for (const RecordField& item : field["figures"].Items(2 * MEASURE_NAMES.size())) {
    RecordFigure figure = ReadFigure(item, record);
    if (FindFigure(kernel, figure.measure, figure.pass) != nullptr) {
      item.Refuse("a second figure of " + figure.measure + ", " + figure.pass + " pass");
    }
    kernel.figures.push_back(std::move(figure));
  }
  return kernel;
}

}  // namespace

std::vector<RecordKernel> ReadRecordKernels(const RecordField& kernels,
                                            const ResultRecord& record) {
  std::vector<RecordKernel> read;
  std::set<std::string> names;
  for (const RecordField& item : kernels.Items(RESULT_MOST_KERNELS)) {
    read.push_back(ReadKernel(item, record));
    if (!names.insert(read.back().name).second) {
      item["name"].Refuse("a second kernel named " + read.back().name);
    }
  }
  return read;
}

}  // namespace stats
