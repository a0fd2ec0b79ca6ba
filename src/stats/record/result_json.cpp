#include "stats/record/result_json.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace stats {

namespace {

using Json = nlohmann::ordered_json;

// Four decimals are far below any noise floor, and keep a record of many cells small.
double Rounded(double value) { return std::round(value * 1e4) / 1e4; }

Json FigureJson(const RecordFigure& figure) {
  Json cells = Json::array();
  for (const RecordCell& cell : figure.cells) {
    cells.push_back({{"placement", cell.placement},
                     {"loop_offset", cell.loop_offset},
                     {"kernel_offset", cell.kernel_offset},
                     {"net_cycles", Rounded(cell.net_cycles)},
                     {"first_half_cycles", Rounded(cell.first_half_cycles)},
                     {"second_half_cycles", Rounded(cell.second_half_cycles)}});
  }
  return {{"measure", figure.measure},
          {"pass", figure.pass},
          {"median_cycles", Rounded(figure.median_cycles)},
          {"uncertainty_cycles", Rounded(figure.uncertainty_cycles)},
          {"rounds_uncertainty_cycles", Rounded(figure.rounds_uncertainty_cycles)},
          {"iqr_cycles", Rounded(figure.iqr_cycles)},
          {"share_away", Rounded(figure.share_away)},
          {"layout_sensitive", figure.layout_sensitive},
          {"precise", figure.precise},
          {"shared_core", figure.shared_core},
          {"predicted_cycles",
           figure.predicted_cycles ? Json(Rounded(*figure.predicted_cycles)) : Json(nullptr)},
          {"model", figure.predicted_cycles ? Json(figure.model) : Json(nullptr)},
          {"cells", cells}};
}

}  // namespace

std::string ResultToJson(const ResultRecord& record) {
  const RecordMachine& machine = record.machine;
  const RecordSettings& settings = record.settings;
  Json measures = Json::array(), kernels = Json::array();
  for (const RecordMeasure& measure : record.measures) {
    measures.push_back({{"measure", measure.measure},
                        {"end", measure.end},
                        {"waited", measure.waited},
                        {"rounds", measure.rounds},
                        {"noise_floor_cycles", Rounded(measure.noise_floor_cycles)},
                        {"chunk_length", measure.chunk_length},
                        {"placements", measure.placements},
                        {"clock_ghz",
                         {{"slowest", Rounded(measure.slowest_clock_ghz)},
                          {"fastest", Rounded(measure.fastest_clock_ghz)}}}});
  }
  for (const RecordKernel& kernel : record.kernels) {
    Json figures = Json::array();
    for (const RecordFigure& figure : kernel.figures) figures.push_back(FigureJson(figure));
    kernels.push_back({{"name", kernel.name},
                       {"bytes", kernel.bytes_hex},
                       {"assembly", kernel.assembly},
                       {"figures", figures}});
  }
  const Json json = {{"schema", record.schema},
                     {"schema_version", std::to_string(record.schema_major) + "." +
                                            std::to_string(record.schema_minor)},
                     {"program_version", record.program_version},
                     {"date_utc", record.date_utc},
                     {"machine",
                      {{"vendor", machine.vendor},
                       {"family", machine.family},
                       {"model", machine.model},
                       {"stepping", machine.stepping},
                       {"brand", machine.brand},
                       {"microarchitecture", machine.microarchitecture},
                       {"logical_cpus", machine.logical_cpus},
                       {"hypervisor", machine.hypervisor},
                       {"kernel_release", machine.kernel_release},
                       {"pinned_cpu", machine.pinned_cpu},
                       {"priority_raise_allowed", machine.priority_raise_allowed}}},
                     {"settings",
                      {{"measures", settings.measures},
                       {"precision_cycles", settings.precision_cycles},
                       {"seconds", settings.seconds},
                       {"rounds", settings.rounds},
                       {"calls", settings.calls},
                       {"seed", settings.seed}}},
                     {"clock_ghz",
                      {{"slowest", Rounded(record.slowest_clock_ghz)},
                       {"fastest", Rounded(record.fastest_clock_ghz)}}},
                     {"measures", measures},
                     {"kernels", kernels},
                     {"left_out", record.left_out},
                     {"containment", record.containment}};
  // Text the sweep was given or found (an assembler's message, a brand) may not be UTF-8: its
  // bytes are kept as U+FFFD rather than fail the record after the table was printed.
  return json.dump(1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace stats
