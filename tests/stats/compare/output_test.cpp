// What --compare prints and writes, from records made by hand.
#include <gtest/gtest.h>

#include "stats/compare/chart.h"
#include "stats/compare/tables.h"
#include "tests/stats/record/result_record_fixture.h"
#include "tests/stats/text/svg_text_fit.h"

namespace {

stats::Comparison Changed() {
  stats::ResultRecord changed = stats_test::HandMadeRecord(6, 0.05);
  changed.kernels[1].bytes_hex = "0fafc00fafc090909090c3";
  changed.kernels.pop_back();
  changed.machine.microarchitecture = "";
  changed.machine.brand = "Some Processor, 3.0 GHz";
  return stats::Compare(
      {{"zen4.json", stats_test::HandMadeRecord(3, 0.05)}, {"other.json", changed}});
}

TEST(CompareOutput, TheCsvHasARowPerMeasurePassKernelAndFileWithTheVerdicts) {
  const std::string csv = stats::FormatComparisonCsv(Changed());
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "measure,pass,kernel,file,machine,median_cycles,difference_cycles,verdict,"
            "uncertainty_cycles,code_differs");
  EXPECT_NE(csv.find("\nlatency,positive,plain,zen4.json,Zen 4,3.0000,,baseline,0.0500,no\n"),
            std::string::npos)
      << csv;
  EXPECT_NE(csv.find("\nlatency,negative,plain,other.json,\"Some Processor, 3.0 GHz\",6.0000,"
                     "3.0000,slower,0.0500,no\n"),
            std::string::npos)
      << csv;
  EXPECT_NE(
      csv.find("\nlatency,positive,twice,other.json,\"Some Processor, 3.0 GHz\",,,missing,,no"),
      std::string::npos)
      << csv;
}

TEST(CompareOutput, TheTablesNameTheMachinesAndMarkChangedCode) {
  stats::ResultRecord changed = stats_test::HandMadeRecord(6, 0.05);
  changed.kernels[1].bytes_hex = "00";
  const stats::Comparison comparison =
      stats::Compare({{"a.json", stats_test::HandMadeRecord()}, {"b.json", changed}});
  const std::string text = stats::FormatComparisonText(comparison);
  EXPECT_NE(text.find("kernel    Zen 4 a.json  Zen 4 b.json\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\ntwice        3.00          6.00   +3.00  slower *\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("twice: the code differs in b.json from the baseline's"), std::string::npos);
  const std::string markdown = stats::FormatComparisonMarkdown(comparison);
  EXPECT_NE(markdown.find("| kernel | Zen 4<br>a.json | Zen 4<br>b.json |\n| --- | ---: | ---: |\n"
                          "| plain | 3.00 | 6.00 +3.00 slower |\n| twice | 3.00 | 6.00 +3.00 "
                          "slower \\* |\n"),
            std::string::npos)
      << markdown;
}

TEST(CompareOutput, TextFromARecordCannotBreakACsvRowOrAMarkdownTable) {
  stats::ResultRecord record = stats_test::HandMadeRecord();
  record.kernels[0].name = "a,b";
  record.kernels[1].name = "c|d";
  record.machine.microarchitecture = "";
  record.machine.brand = "Core\\|[x](y)";
  const stats::Comparison comparison = stats::Compare({{"1.json", record}, {"2.json", record}});
  const std::string csv = stats::FormatComparisonCsv(comparison);
  EXPECT_NE(csv.find("\nlatency,positive,\"a,b\",1.json,Core\\|[x](y),3.0000,"), std::string::npos)
      << csv;
  const std::string markdown = stats::FormatComparisonMarkdown(comparison);
  EXPECT_NE(markdown.find("| kernel | Core\\\\\\|\\[x\\](y)<br>1.json |"), std::string::npos)
      << markdown;
  EXPECT_NE(markdown.find("\n| c\\|d | 3.00 | 3.00 0.00 same |\n"), std::string::npos) << markdown;
}

TEST(CompareOutput, EveryTextOfTheChartFitsEvenWithLongNamesAndManyFiles) {
  std::vector<stats::ComparedFile> files;
  for (int file = 0; file < 7; ++file) {
    stats::ResultRecord record = stats_test::HandMadeRecord(2 + file, 0.1);
    record.machine.microarchitecture = "";
    record.machine.brand = "Intel(R) Xeon(R) Platinum 8488C CPU @ 2.40GHz & more";
    record.kernels[0].name = "a_sixteen_chars_";
    files.push_back(
        {"results/from-a-runner-with-a-long-name-" + std::to_string(file) + ".json", record});
  }
  const std::string svg = stats::FormatComparisonSvg(stats::Compare(files));
  EXPECT_EQ(stats_test::TextsOutside(svg), std::vector<std::string>{});
  EXPECT_NE(svg.find(">Intel(R) Xeon(R) Platinum"), std::string::npos)
      << "the legend names the machines";
}

}  // namespace
