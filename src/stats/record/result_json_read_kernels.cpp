// The kernels of a result record: every name one the sweep could have written, and every figure
// and cell once, so that nothing a comparison prints or looks up can be forged or multiplied.
#include <algorithm>
#include <set>

#include "stats/math/placement_uncertainty.h"
#include "stats/record/field_names.h"
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
  figure.measure = field[field_name::MEASURE].OneOf(MEASURE_NAMES);
  figure.pass = field[field_name::PASS].OneOf(PASS_NAMES);
  size_t placements = 0;
  for (const RecordMeasure& measure : record.measures) {
    if (measure.measure == figure.measure) placements = measure.placements;
  }
  if (placements == 0)
    field[field_name::MEASURE].Refuse("a measure the record's measures do not list");
  figure.median_cycles = field[field_name::MEDIAN_CYCLES].Number();
  figure.uncertainty_cycles = field[field_name::UNCERTAINTY_CYCLES].Number();
  if (figure.uncertainty_cycles < 0) field[field_name::UNCERTAINTY_CYCLES].Refuse("below zero");
  figure.rounds_uncertainty_cycles = figure.uncertainty_cycles;
  if (record.schema_minor >= 2) {
    figure.rounds_uncertainty_cycles = field[field_name::ROUNDS_UNCERTAINTY_CYCLES].Number();
    if (figure.rounds_uncertainty_cycles < 0) {
      field[field_name::ROUNDS_UNCERTAINTY_CYCLES].Refuse("below zero");
    }
    if (figure.rounds_uncertainty_cycles > figure.uncertainty_cycles) {
      field[field_name::ROUNDS_UNCERTAINTY_CYCLES].Refuse(
          "above uncertainty_cycles, of which it is a part");
    }
  }
  figure.iqr_cycles = field[field_name::IQR_CYCLES].NotNegative();
  figure.share_away = field[field_name::SHARE_AWAY].Share();
  figure.layout_sensitive = field[field_name::LAYOUT_SENSITIVE].Flag();
  if (record.schema_minor >= 1) {
    figure.precise = field[field_name::PRECISE].Flag();
    figure.shared_core = field[field_name::SHARED_CORE].Flag();
  } else {
    figure.precise = figure.uncertainty_cycles <= record.settings.precision_cycles;
  }
  if (!field[field_name::PREDICTED_CYCLES].IsNull()) {
    figure.predicted_cycles = field[field_name::PREDICTED_CYCLES].Number();
    figure.model = field[field_name::MODEL].Text();
  }
  std::vector<bool> seen(placements);
  for (const RecordField& item : field[field_name::CELLS].Items(placements)) {
    RecordCell& cell = figure.cells.emplace_back();
    cell.placement = item[field_name::PLACEMENT].Whole(placements - 1);
    if (seen[cell.placement]) item[field_name::PLACEMENT].Refuse("a placement given twice");
    seen[cell.placement] = true;
    cell.loop_offset = static_cast<int>(item[field_name::LOOP_OFFSET].Whole(63));
    cell.kernel_offset = static_cast<int>(item[field_name::KERNEL_OFFSET].Whole(63));
    cell.net_cycles = item[field_name::NET_CYCLES].Number();
    cell.first_half_cycles = item[field_name::FIRST_HALF_CYCLES].Number();
    cell.second_half_cycles = item[field_name::SECOND_HALF_CYCLES].Number();
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
  kernel.name = field[field_name::NAME].Text();
  if (!KernelNameOk(kernel.name)) {
    field[field_name::NAME].Refuse("not 1 to 16 letters, digits or underscores, but " +
                                   Quoted(kernel.name));
  }
  kernel.bytes_hex = field[field_name::BYTES].Text();
  if (kernel.bytes_hex.size() % 2 != 0 ||
      kernel.bytes_hex.find_first_not_of("0123456789abcdef") != std::string::npos) {
    field[field_name::BYTES].Refuse("not lower-case hex bytes");
  }
  kernel.assembly = field[field_name::ASSEMBLY].Text(true);
  // A figure per measure and pass, at most.
  for (const RecordField& item : field[field_name::FIGURES].Items(2 * MEASURE_NAMES.size())) {
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
      item[field_name::NAME].Refuse("a second kernel named " + read.back().name);
    }
  }
  return read;
}

}  // namespace stats
