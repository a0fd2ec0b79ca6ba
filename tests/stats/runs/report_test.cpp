// Reports captured from the benchmark, whole and damaged.
#include "stats/runs/report.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string Fixture(const std::string& name) {
  std::ifstream file(std::string(STATS_FIXTURES) + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// Replaces the first occurrence of `from` in the fixture.
std::string Damaged(const std::string& from, const std::string& to) {
  std::string report = Fixture("report-1.txt");
  const size_t at = report.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return report.replace(at, from.size(), to);
}

int ErrorLine(const std::string& bytes) {
  const auto parsed = stats::ParseReport(bytes);
  const auto* error = std::get_if<stats::ParseError>(&parsed);
  return error == nullptr ? 0 : error->line;
}

TEST(ParseReport, ReadsEveryFigureOfARealReport) {
  const auto parsed = stats::ParseReport(Fixture("report-1.txt"));
  ASSERT_TRUE(std::holds_alternative<stats::Report>(parsed))
      << std::get<stats::ParseError>(parsed).problem;
  const stats::Report& report = std::get<stats::Report>(parsed);
  EXPECT_EQ(report.baseline_ms, 1728);
  EXPECT_EQ(report.net_ms[stats::POSITIVE][0], 233);
  EXPECT_EQ(report.net_ms[stats::POSITIVE][11], -121);
  EXPECT_EQ(report.net_ms[stats::NEGATIVE][0], -59);
  EXPECT_EQ(report.net_ms[stats::NEGATIVE][11], -134);
  EXPECT_TRUE(std::holds_alternative<stats::Report>(stats::ParseReport(Fixture("report-2.txt"))));
}

TEST(ParseReport, ReadsACopyWhoseLineEndsWereTurnedIntoLfAloneLikeTheOriginal) {
  const auto original = stats::ParseReport(Fixture("report-2.txt"));
  const auto converted = stats::ParseReport(Fixture("report-2-lf.txt"));
  ASSERT_TRUE(std::holds_alternative<stats::Report>(converted))
      << std::get<stats::ParseError>(converted).problem;
  ASSERT_TRUE(std::holds_alternative<stats::Report>(original));
  EXPECT_EQ(std::get<stats::Report>(converted).baseline_ms,
            std::get<stats::Report>(original).baseline_ms);
  EXPECT_EQ(std::get<stats::Report>(converted).net_ms, std::get<stats::Report>(original).net_ms);
  // Turned only in part, it is damaged, and said to be at the first line that differs.
  std::string mixed = Fixture("report-2-lf.txt");
  mixed.insert(mixed.find("\n", mixed.find("positive pass")), "\r");
  const auto refused = stats::ParseReport(mixed);
  ASSERT_TRUE(std::holds_alternative<stats::ParseError>(refused));
  EXPECT_EQ(std::get<stats::ParseError>(refused).line, 6);
}

TEST(ParseReport, RefusesDamagedCopiesAtTheLineThatIsWrong) {
  const std::string whole = Fixture("report-1.txt");
  struct Damage {
    const char* what;
    std::string bytes;
    int line;
  } damages[] = {
      {"a missing line", Damaged("559 abs1 dravispo\r\n", ""), 9},
      {"a wrong label", Damaged("233 abs0 tovak", "233 abs0 tovac"), 8},
      {"labels swapped", Damaged("194 abs2 zemu 1", "194 abs11 zemu 2"), 10},
      {"LF instead of CR LF", Damaged("positive pass\r\n", "positive pass\n"), 6},
      {"a leading zero", Damaged("\r\n224 abs5", "\r\n0224 abs5"), 13},
      {"a minus zero", Damaged("\r\n224 abs5", "\r\n-0 abs5"), 13},
      {"a plus sign", Damaged("\r\n224 abs5", "\r\n+224 abs5"), 13},
      {"a number out of range", Damaged("\r\n224 abs5", "\r\n2147483648 abs5"), 13},
      {"no number", Damaged("\r\n224 abs5", "\r\n abs5"), 13},
      {"a wrong header", Damaged("negative pass", "negative  pass"), 21},
      {"a truncated file", whole.substr(0, whole.find("-7 abs10")), 33},
      {"a file cut inside a line", whole.substr(0, whole.find("-7 abs10") + 4), 33},
      {"no CR LF after the prompt", whole.substr(0, whole.size() - 2), 35},
      {"text after the prompt", whole + "x", 36},
      {"an empty file", "", 1},
  };
  for (const Damage& damage : damages) {
    EXPECT_EQ(ErrorLine(damage.bytes), damage.line) << damage.what;
  }
}

TEST(ParseReport, NamesWhatItExpectedAndQuotesWhatItFound) {
  const auto parsed = stats::ParseReport(Damaged("233 abs0 tovak", "233 abs0 tovac"));
  const auto& error = std::get<stats::ParseError>(parsed);
  EXPECT_EQ(error.text, "233 abs0 tovac");
  EXPECT_NE(error.problem.find("abs0 tovak"), std::string::npos) << error.problem;
}

}  // namespace
