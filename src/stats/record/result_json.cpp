#include "stats/record/result_json.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "stats/record/field_names.h"

namespace stats {

namespace {

using Json = nlohmann::ordered_json;

// Four decimals are far below any noise floor, and keep a record of many cells small.
double Rounded(double value) { return std::round(value * 1e4) / 1e4; }

Json FigureJson(const RecordFigure& figure) {
  Json cells = Json::array();
  for (const RecordCell& cell : figure.cells) {
    cells.push_back({{field_name::PLACEMENT, cell.placement},
                     {field_name::LOOP_OFFSET, cell.loop_offset},
                     {field_name::KERNEL_OFFSET, cell.kernel_offset},
                     {field_name::NET_CYCLES, Rounded(cell.net_cycles)},
                     {field_name::FIRST_HALF_CYCLES, Rounded(cell.first_half_cycles)},
                     {field_name::SECOND_HALF_CYCLES, Rounded(cell.second_half_cycles)}});
  }
  return {{field_name::MEASURE, figure.measure},
          {field_name::PASS, figure.pass},
          {field_name::MEDIAN_CYCLES, Rounded(figure.median_cycles)},
          {field_name::UNCERTAINTY_CYCLES, Rounded(figure.uncertainty_cycles)},
          {field_name::ROUNDS_UNCERTAINTY_CYCLES, Rounded(figure.rounds_uncertainty_cycles)},
          {field_name::IQR_CYCLES, Rounded(figure.iqr_cycles)},
          {field_name::SHARE_AWAY, Rounded(figure.share_away)},
          {field_name::LAYOUT_SENSITIVE, figure.layout_sensitive},
          {field_name::PRECISE, figure.precise},
          {field_name::SHARED_CORE, figure.shared_core},
          {field_name::PREDICTED_CYCLES,
           figure.predicted_cycles ? Json(Rounded(*figure.predicted_cycles)) : Json(nullptr)},
          {field_name::MODEL, figure.predicted_cycles ? Json(figure.model) : Json(nullptr)},
          {field_name::CELLS, cells}};
}

}  // namespace

std::string ResultToJson(const ResultRecord& record) {
  const RecordMachine& machine = record.machine;
  const RecordSettings& settings = record.settings;
  Json measures = Json::array(), kernels = Json::array();
  for (const RecordMeasure& measure : record.measures) {
    measures.push_back({{field_name::MEASURE, measure.measure},
                        {field_name::END, measure.end},
                        {field_name::WAITED, measure.waited},
                        {field_name::ROUNDS, measure.rounds},
                        {field_name::NOISE_FLOOR_CYCLES, Rounded(measure.noise_floor_cycles)},
                        {field_name::CHUNK_LENGTH, measure.chunk_length},
                        {field_name::PLACEMENTS, measure.placements},
                        {field_name::CLOCK_GHZ,
                         {{field_name::SLOWEST, Rounded(measure.slowest_clock_ghz)},
                          {field_name::FASTEST, Rounded(measure.fastest_clock_ghz)}}}});
  }
  for (const RecordKernel& kernel : record.kernels) {
    Json figures = Json::array();
    for (const RecordFigure& figure : kernel.figures) figures.push_back(FigureJson(figure));
    kernels.push_back({{field_name::NAME, kernel.name},
                       {field_name::BYTES, kernel.bytes_hex},
                       {field_name::ASSEMBLY, kernel.assembly},
                       {field_name::FIGURES, figures}});
  }
  const Json json = {{field_name::SCHEMA, record.schema},
                     {field_name::SCHEMA_VERSION, std::to_string(record.schema_major) + "." +
                                                      std::to_string(record.schema_minor)},
                     {field_name::PROGRAM_VERSION, record.program_version},
                     {field_name::DATE_UTC, record.date_utc},
                     {field_name::MACHINE,
                      {{field_name::VENDOR, machine.vendor},
                       {field_name::FAMILY, machine.family},
                       {field_name::MODEL, machine.model},
                       {field_name::STEPPING, machine.stepping},
                       {field_name::BRAND, machine.brand},
                       {field_name::MICROARCHITECTURE, machine.microarchitecture},
                       {field_name::LOGICAL_CPUS, machine.logical_cpus},
                       {field_name::HYPERVISOR, machine.hypervisor},
                       {field_name::KERNEL_RELEASE, machine.kernel_release},
                       {field_name::PINNED_CPU, machine.pinned_cpu},
                       {field_name::PRIORITY_RAISE_ALLOWED, machine.priority_raise_allowed}}},
                     {field_name::SETTINGS,
                      {{field_name::MEASURES, settings.measures},
                       {field_name::PRECISION_CYCLES, settings.precision_cycles},
                       {field_name::SECONDS, settings.seconds},
                       {field_name::ROUNDS, settings.rounds},
                       {field_name::CALLS, settings.calls},
                       {field_name::SEED, settings.seed}}},
                     {field_name::CLOCK_GHZ,
                      {{field_name::SLOWEST, Rounded(record.slowest_clock_ghz)},
                       {field_name::FASTEST, Rounded(record.fastest_clock_ghz)}}},
                     {field_name::MEASURES, measures},
                     {field_name::KERNELS, kernels},
                     {field_name::LEFT_OUT, record.left_out},
                     {field_name::CONTAINMENT, record.containment}};
  // Text the sweep was given or found (an assembler's message, a brand) may not be UTF-8: its
  // bytes are kept as U+FFFD rather than fail the record after the table was printed.
  return json.dump(1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace stats
