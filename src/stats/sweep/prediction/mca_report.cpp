#include "stats/sweep/prediction/mca_report.h"

#include <nlohmann/json.hpp>

namespace stats {

namespace {

// Not the result records' Json: sources are compiled together.
using McaJson = nlohmann::json;

// "key 'TargetInfo' not found" from "[json.exception.out_of_range.403] key 'TargetInfo' not found".
std::string InWords(const McaJson::exception& error) {
  const std::string said = error.what();
  const size_t end = said.find("] ");
  return end == std::string::npos ? said : said.substr(end + 2);
}

}  // namespace

std::string ReadMcaReport(const std::string& json, McaReport& report) {
  report = {};
  try {
    const McaJson top = McaJson::parse(json);
    const McaJson& target = top.at("TargetInfo");
    report.cpu = target.at("CPUName").get<std::string>();
    // Older versions list no resources.
    if (target.contains("Resources") && !target["Resources"].empty()) {
      report.first_resource = target["Resources"].at(0).get<std::string>();
    }
    const McaJson& regions = top.at("CodeRegions");
    if (!regions.is_array()) return "its CodeRegions are not a list";
    for (const McaJson& region : regions) {
      const McaJson& summary = region.at("SummaryView");
      const auto iterations = summary.at("Iterations").get<double>();
      const auto total = summary.at("TotalCycles").get<double>();
      if (!(iterations > 0) || !(total >= 0)) return "a region with no iterations or no cycles";
      report.cycles[region.at("Name").get<std::string>()] = total / iterations;
    }
  } catch (const McaJson::exception& error) {
    return InWords(error);
  }
  return "";
}

}  // namespace stats
