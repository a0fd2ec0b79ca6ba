// llvm-mca's JSON report read back, and every way it can be other than expected said in words.
#include "stats/sweep/prediction/mca_report.h"

#include <gtest/gtest.h>

namespace {

// As llvm-mca 19 writes it, its views cut down to what is read.
const char REPORT[] = R"({
  "CodeRegions": [
    {"Instructions": ["orl\t%eax, %eax", "jns\t2"], "Name": "abs2",
     "SummaryView": {"Iterations": 1000, "TotalCycles": 1003, "IPC": 1.99}},
    {"Instructions": ["negl\t%eax"], "Name": "EmptyProcedure",
     "SummaryView": {"Iterations": 1000, "TotalCycles": 1003}}
  ],
  "SimulationParameters": {"-mcpu": "native"},
  "TargetInfo": {"CPUName": "znver5", "Resources": ["Zn4AGU0", "Zn4FP45.\u0000"]}
})";

TEST(McaReport, GivesTheProcessorItsFirstResourceAndEachRegionsCyclesPerIteration) {
  stats::McaReport report;
  ASSERT_EQ(stats::ReadMcaReport(REPORT, report), "");
  EXPECT_EQ(report.cpu, "znver5");
  EXPECT_EQ(report.first_resource, "Zn4AGU0");
  EXPECT_EQ(report.cycles,
            (std::map<std::string, double>{{"abs2", 1.003}, {"EmptyProcedure", 1.003}}));
  ASSERT_EQ(stats::ReadMcaReport(R"({"CodeRegions": [], "TargetInfo": {"CPUName": "x"}})", report),
            "")
      << "an older version lists no resources";
  EXPECT_EQ(report.first_resource, "");
}

TEST(McaReport, SaysWhatIsWrongWithWhatIsNotItsReportAndThrowsNothing) {
  const struct {
    std::string json, said;
  } wrong[] = {
      {"hello",
       "parse error at line 1, column 1: syntax error while parsing value - invalid "
       "literal; last read: 'h'"},
      {std::string(REPORT).substr(0, 200),
       "parse error at line 5, column 35: syntax error while "
       "parsing array - unexpected end of input"},
      {"[1, 2]", "cannot use at() with array"},
      {R"({"CodeRegions": []})", "key 'TargetInfo' not found"},
      {R"({"CodeRegions": {}, "TargetInfo": {"CPUName": "x"}})", "its CodeRegions are not a list"},
      {R"({"CodeRegions": [], "TargetInfo": {"CPUName": 4}})",
       "type must be string, but is number"},
      {R"({"CodeRegions": [{"Name": "a", "SummaryView": {"Iterations": 0, "TotalCycles": 1}}],
          "TargetInfo": {"CPUName": "x"}})",
       "a region with no iterations or no cycles"},
      {R"({"CodeRegions": [{"Name": "a", "SummaryView": {"Iterations": 1e999}}],
          "TargetInfo": {"CPUName": "x"}})",
       "number overflow"},
  };
  for (const auto& each : wrong) {
    stats::McaReport report;
    EXPECT_EQ(stats::ReadMcaReport(each.json, report).rfind(each.said, 0), 0u)
        << stats::ReadMcaReport(each.json, report);
  }
}

}  // namespace
