// Result records written and read back, and every kind of file that is not one refused in a line.
#include "stats/result_json.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "tests/stats/result_record_fixture.h"

namespace {

std::string Refusal(const std::string& text) {
  auto read = stats::ResultFromJson(text);
  if (!std::holds_alternative<std::string>(read)) return "read as a record";
  return std::get<std::string>(read);
}

std::string Written() { return stats::ResultToJson(stats_test::HandMadeRecord()); }

// The written record with the first `from` replaced by `to`.
std::string Edited(const std::string& from, const std::string& to) {
  std::string text = Written();
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

TEST(ResultRecordJson, ARecordReadsBackAsItWasWritten) {
  const stats::ResultRecord written = stats_test::HandMadeRecord(2.12345, 0.0312);
  auto read = stats::ResultFromJson(stats::ResultToJson(written));
  ASSERT_TRUE(std::holds_alternative<stats::ResultRecord>(read)) << std::get<std::string>(read);
  const stats::ResultRecord& back = std::get<stats::ResultRecord>(read);
  EXPECT_EQ(back.machine.microarchitecture, "Zen 4");
  EXPECT_EQ(back.machine.pinned_cpu, 3);
  EXPECT_TRUE(back.machine.hypervisor);
  EXPECT_EQ(back.settings.seed, 18446744073709551615u);  // all 64 bits survive
  EXPECT_EQ(back.settings.measures, written.settings.measures);
  ASSERT_EQ(back.kernels.size(), 2u);
  ASSERT_EQ(back.kernels[1].figures.size(), 2u);
  const stats::RecordFigure& figure = back.kernels[1].figures[1];
  EXPECT_EQ(figure.pass, "negative");
  EXPECT_DOUBLE_EQ(figure.median_cycles, 2.1235);  // to the four decimals written
  EXPECT_DOUBLE_EQ(figure.uncertainty_cycles, 0.0312);
  ASSERT_TRUE(figure.predicted_cycles.has_value());
  EXPECT_EQ(figure.model, "znver4");
  ASSERT_EQ(figure.cells.size(), 2u);
  EXPECT_EQ(figure.cells[1].kernel_offset, 1);
  EXPECT_EQ(back.kernels[0].assembly, "imul eax, eax");
  EXPECT_EQ(back.left_out, written.left_out);
  EXPECT_EQ(stats::ResultToJson(back), stats::ResultToJson(written)) << "a second trip changes it";
}

TEST(ResultRecordJson, ALaterMinorVersionIsReadAndItsExtraFieldsPassedOver) {
  auto read = stats::ResultFromJson(
      Edited("\"schema_version\": \"1.0\"", "\"schema_version\": \"1.7\", \"new_field\": [1]"));
  ASSERT_TRUE(std::holds_alternative<stats::ResultRecord>(read)) << std::get<std::string>(read);
  EXPECT_EQ(std::get<stats::ResultRecord>(read).schema_minor, 7);
}

TEST(ResultRecordJson, TextThatIsNotAWholeRecordOfThisSchemaIsRefusedWithWhatIsWrong) {
  const std::string whole = Written();
  EXPECT_EQ(Refusal(whole.substr(0, whole.size() / 2)), "not whole: the JSON ends early");
  EXPECT_EQ(Refusal(""), "not whole: the JSON ends early");
  EXPECT_EQ(Refusal("pass,kernel,loop_offset,kernel_offset,net_ms\npositive,abs0,0,0,1\n"),
            "a sweep's CSV, not its --json record");
  EXPECT_EQ(Refusal("{\"name\": \"left-pad\", \"version\": \"1.3.0\"}"),
            "JSON, but not an absbench result (no \"schema\" field)");
  EXPECT_EQ(Refusal("[1, 2, 3]"), "JSON, but not an absbench result (no \"schema\" field)");
  EXPECT_EQ(Refusal(Edited("\"absbench-result\"", "\"other-result\"")),
            "not an absbench result: its schema is \"other-result\"");
  EXPECT_EQ(Refusal(Edited("\"1.0\"", "\"2.0\"")),
            "schema version 2.0; this absbench-stats reads 1.x");
  EXPECT_EQ(Refusal(Edited("\"1.0\"", "\"one\"")), "schema_version: not MAJOR.MINOR, but \"one\"");
  EXPECT_EQ(Refusal("garbage"), "not JSON (at byte 1)");
}

TEST(ResultRecordJson, AFieldMissingOrOfTheWrongKindIsNamedByItsPlace) {
  EXPECT_EQ(Refusal(Edited("\"median_cycles\"", "\"median\"")),
            "kernels[0].figures[0].median_cycles: missing");
  EXPECT_EQ(Refusal(Edited("\"pinned_cpu\": 3", "\"pinned_cpu\": \"3\"")),
            "machine.pinned_cpu: not a whole number up to 1048576");
  EXPECT_EQ(Refusal(Edited("\"pass\": \"positive\"", "\"pass\": \"sideways\"")),
            "kernels[0].figures[0].pass: unknown value \"sideways\"");
  EXPECT_EQ(Refusal(Edited("\"bytes\": \"0f", "\"bytes\": \"zz")),
            "kernels[0].bytes: not lower-case hex bytes");
  EXPECT_EQ(Refusal(Edited("\"uncertainty_cycles\": 0.05", "\"uncertainty_cycles\": -1")),
            "kernels[0].figures[0].uncertainty_cycles: below zero");
  EXPECT_EQ(Refusal(Edited("\"placement\": 1", "\"placement\": 2")),
            "kernels[0].figures[0].cells[1].placement: not a whole number up to 1");
  stats::ResultRecord unlisted = stats_test::HandMadeRecord();
  unlisted.kernels[1].figures[0].measure = "call";
  EXPECT_EQ(Refusal(stats::ResultToJson(unlisted)),
            "kernels[1].figures[0].measure: a measure the record's measures do not list");
}

TEST(ResultRecordJson, DeeplyNestedJsonIsRefusedWithoutExhaustingTheStack) {
  const std::string nested = std::string(1000000, '[') + std::string(1000000, ']');
  EXPECT_EQ(Refusal(nested), "JSON, but not an absbench result (no \"schema\" field)");
}

TEST(ResultRecordFile, AMissingFileAFolderAndAnEndlessFileAreRefusedWithTheirName) {
  EXPECT_EQ(std::get<std::string>(stats::ReadResultFile("/nonexistent/a.json")),
            "/nonexistent/a.json: cannot read: No such file or directory");
  EXPECT_EQ(std::get<std::string>(stats::ReadResultFile("/tmp")),
            "/tmp: cannot read: Is a directory");
  EXPECT_EQ(std::get<std::string>(stats::ReadResultFile("/dev/zero")),
            "/dev/zero: larger than 16 MiB, far above any result record");
}

TEST(ResultRecordFile, AWrittenRecordIsReadFromItsFile) {
  const std::string path = "/tmp/result_json_test_" + std::to_string(getpid()) + ".json";
  std::ofstream(path) << Written();
  auto read = stats::ReadResultFile(path);
  std::remove(path.c_str());
  ASSERT_TRUE(std::holds_alternative<stats::ResultRecord>(read)) << std::get<std::string>(read);
  EXPECT_EQ(std::get<stats::ResultRecord>(read).kernels.size(), 2u);
}

}  // namespace
