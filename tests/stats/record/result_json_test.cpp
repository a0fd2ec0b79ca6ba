// Result records written and read back, and every kind of file that is not one refused in a line.
#include "stats/record/result_json.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "tests/stats/record/result_record_fixture.h"

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
  EXPECT_DOUBLE_EQ(figure.rounds_uncertainty_cycles, 0.0156);
  ASSERT_TRUE(figure.predicted_cycles.has_value());
  EXPECT_EQ(figure.model, "znver4");
  ASSERT_EQ(figure.cells.size(), 2u);
  EXPECT_EQ(figure.cells[1].kernel_offset, 1);
  EXPECT_EQ(back.kernels[0].assembly, "imul eax, eax");
  EXPECT_EQ(back.left_out, written.left_out);
  EXPECT_EQ(back.containment, written.containment);
  ASSERT_EQ(back.measures.size(), 1u);
  EXPECT_DOUBLE_EQ(back.measures[0].slowest_clock_ghz, 2.75) << "each measure's clocks";
  EXPECT_EQ(stats::ResultToJson(back), stats::ResultToJson(written)) << "a second trip changes it";
}

TEST(ResultRecordJson, ALaterMinorVersionIsReadAndItsExtraFieldsPassedOver) {
  auto read = stats::ResultFromJson(
      Edited("\"schema_version\": \"1.3\"", "\"schema_version\": \"1.7\", \"new_field\": [1]"));
  ASSERT_TRUE(std::holds_alternative<stats::ResultRecord>(read)) << std::get<std::string>(read);
  EXPECT_EQ(std::get<stats::ResultRecord>(read).schema_minor, 7);
}

TEST(ResultRecordJson, ContainmentIsRequiredFromVersionOnePointThreeOnAndNotBefore) {
  const std::string field = ",\n \"containment\": \"system-call filter, process group, limits\"";
  ASSERT_NE(Written().find(field), std::string::npos) << Written();
  std::string older = Edited("\"1.3\"", "\"1.2\"");
  older.erase(older.find(field), field.size());
  auto read = stats::ResultFromJson(older);
  ASSERT_TRUE(std::holds_alternative<stats::ResultRecord>(read)) << std::get<std::string>(read);
  EXPECT_EQ(std::get<stats::ResultRecord>(read).containment, "");
  std::string without = Written();
  without.erase(without.find(field), field.size());
  EXPECT_NE(Refusal(without).find("containment"), std::string::npos) << Refusal(without);
}

TEST(ResultRecordJson, AnOlderLayoutSensitiveFigureIsTrustedNoFurtherThanItsCellsAllow) {
  // Before 1.2 the uncertainty was the rounds' alone; these cells are 3.0 and 3.5.
  auto read = stats::ResultFromJson(Edited("\"1.3\"", "\"1.1\""));
  ASSERT_TRUE(std::holds_alternative<stats::ResultRecord>(read)) << std::get<std::string>(read);
  const stats::RecordFigure& figure = std::get<stats::ResultRecord>(read).kernels[0].figures[0];
  EXPECT_DOUBLE_EQ(figure.rounds_uncertainty_cycles, 0.05);
  EXPECT_NEAR(figure.uncertainty_cycles, std::hypot(0.05, 0.25), 1e-9);
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
  EXPECT_EQ(Refusal(Edited("\"1.3\"", "\"2.0\"")),
            "schema version 2.0; this absbench-stats reads 1.x");
  EXPECT_EQ(Refusal(Edited("\"1.3\"", "\"one\"")), "schema_version: not MAJOR.MINOR, but \"one\"");
  EXPECT_EQ(Refusal("garbage"), "not JSON (at byte 1)");
  EXPECT_EQ(Refusal(Edited("\"seed\": 18446744073709551615", "\"seed\": 1e999")),
            "a number too large for any figure");
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
  EXPECT_EQ(Refusal(Edited("\"rounds_uncertainty_cycles\": 0.025",
                           "\"rounds_uncertainty_cycles\": 0.06")),
            "kernels[0].figures[0].rounds_uncertainty_cycles: above uncertainty_cycles, of which "
            "it is a part");
  EXPECT_EQ(Refusal(Edited("\"share_away\": 0.125", "\"share_away\": 0.125, \"share_away\": 0.5")),
            "a field given twice: share_away");
  EXPECT_EQ(Refusal(Edited("\"share_away\": 0.125", "\"share_away\": 1.5")),
            "kernels[0].figures[0].share_away: above 1");
  EXPECT_EQ(Refusal(Edited("\"noise_floor_cycles\": 0.012", "\"noise_floor_cycles\": -0.01")),
            "measures[0].noise_floor_cycles: below zero");
  EXPECT_EQ(Refusal(Edited("\"placement\": 1", "\"placement\": 2")),
            "kernels[0].figures[0].cells[1].placement: not a whole number up to 1");
  stats::ResultRecord unlisted = stats_test::HandMadeRecord();
  unlisted.kernels[1].figures[0].measure = "call";
  EXPECT_EQ(Refusal(stats::ResultToJson(unlisted)),
            "kernels[1].figures[0].measure: a measure the record's measures do not list");
}

TEST(ResultRecordJson, NestingAndCountsBeyondAnyRecordAreRefusedAsTheyAreRead) {
  const std::string nested = std::string(1000000, '[') + std::string(1000000, ']');
  EXPECT_EQ(Refusal(nested), "nested deeper than a result record (8 levels)");
  std::string fields = "{\"schema\": 1";
  for (int field = 0; field < 100000; ++field) fields += ", \"f" + std::to_string(field) + "\": 1";
  EXPECT_EQ(Refusal(fields + "}"),
            "an object of more than 64 fields, far more than a result record's");
  stats::ResultRecord many = stats_test::HandMadeRecord();
  many.kernels.resize(stats::RESULT_MOST_KERNELS + 1);
  for (size_t at = 0; at < many.kernels.size(); ++at) many.kernels[at].name = std::to_string(at);
  EXPECT_EQ(Refusal(stats::ResultToJson(many)), "kernels: more than 4096 items");
  // Shapes that once took seconds and hundreds of MB, refused by their counts as they are scanned.
  std::string objects = "{\"schema\": \"absbench-result\", \"kernels\": [{}";
  for (int kernel = 0; kernel < 200000; ++kernel) objects += ", {}";
  EXPECT_EQ(Refusal(objects + "]}"),
            "a list of more than 16384 items, far more than a result record's");
  std::string many_empty;
  for (int list = 0; list < 100; ++list) {
    many_empty += (list == 0 ? "[\"\"" : ", [\"\"");
    for (int text = 0; text < 16000; ++text) many_empty += ", \"\"";
    many_empty += "]";
  }
  EXPECT_EQ(Refusal("{\"a\": [" + many_empty + "]}"),
            "more than 1500000 values, far more than a result record's");
  EXPECT_EQ(Refusal("{\"a\": \"" + std::string(13 << 20, 'x') + "\"}"),
            "more than 12 MiB of text, far more than a result record's");
}

TEST(ResultRecordJson, AKernelFigureOrCellGivenTwiceIsRefused) {
  stats::ResultRecord record = stats_test::HandMadeRecord();
  record.kernels[1].name = "plain";
  EXPECT_EQ(Refusal(stats::ResultToJson(record)), "kernels[1].name: a second kernel named plain");
  record = stats_test::HandMadeRecord();
  record.kernels[0].figures[1].pass = "positive";
  EXPECT_EQ(Refusal(stats::ResultToJson(record)),
            "kernels[0].figures[1]: a second figure of latency, positive pass");
  record = stats_test::HandMadeRecord();
  record.kernels[0].figures[0].cells[1].placement = 0;
  EXPECT_EQ(Refusal(stats::ResultToJson(record)),
            "kernels[0].figures[0].cells[1].placement: a placement given twice");
  record = stats_test::HandMadeRecord();
  record.kernels[0].figures[0].cells.push_back(record.kernels[0].figures[0].cells[0]);
  EXPECT_EQ(Refusal(stats::ResultToJson(record)), "kernels[0].figures[0].cells: more than 2 items");
}

// Text a comparison prints could otherwise move the cursor, recolour the terminal or break a row.
TEST(ResultRecordJson, ControlCharactersAndNamesTheSweepWouldNotWriteAreRefused) {
  stats::ResultRecord record = stats_test::HandMadeRecord();
  record.machine.brand = "AMD \x1b[2J";
  EXPECT_EQ(Refusal(stats::ResultToJson(record)), "machine.brand: a control character in the text");
  record = stats_test::HandMadeRecord();
  record.left_out = {"bad: it faulted\n| forged | row |"};
  EXPECT_EQ(Refusal(stats::ResultToJson(record)), "left_out[0]: a control character in the text");
  record = stats_test::HandMadeRecord();
  record.machine.microarchitecture = "Zen \u009b31m";  // a C1 control, as UTF-8
  EXPECT_EQ(Refusal(stats::ResultToJson(record)),
            "machine.microarchitecture: a control character in the text");
  record = stats_test::HandMadeRecord();
  record.kernels[0].name = "a|b";
  EXPECT_EQ(Refusal(stats::ResultToJson(record)),
            "kernels[0].name: not 1 to 16 letters, digits or underscores, but \"a|b\"");
  record = stats_test::HandMadeRecord();
  record.kernels[0].assembly = "imul eax, eax\n\timul eax, eax";  // as --kernel-asm takes it
  EXPECT_EQ(Refusal(stats::ResultToJson(record)), "read as a record");
}

TEST(ResultRecordJson, TextThatIsNotUtf8IsWrittenWithReplacementCharacters) {
  stats::ResultRecord record = stats_test::HandMadeRecord();
  record.kernels[0].assembly = "imul eax, eax # caf\xe9";
  auto read = stats::ResultFromJson(stats::ResultToJson(record));
  ASSERT_TRUE(std::holds_alternative<stats::ResultRecord>(read)) << std::get<std::string>(read);
  EXPECT_EQ(std::get<stats::ResultRecord>(read).kernels[0].assembly,
            "imul eax, eax # caf\xef\xbf\xbd");
}

TEST(ResultRecordJson, EachFiguresPrecisionIsKeptAndARecordOfVersion1_0InfersIt) {
  stats::ResultRecord record = stats_test::HandMadeRecord();
  record.kernels[1].figures[0].precise = false;
  record.kernels[1].figures[0].shared_core = true;
  record.measures[0].waited = true;
  auto read = stats::ResultFromJson(stats::ResultToJson(record));
  ASSERT_TRUE(std::holds_alternative<stats::ResultRecord>(read)) << std::get<std::string>(read);
  const stats::ResultRecord& back = std::get<stats::ResultRecord>(read);
  EXPECT_FALSE(back.kernels[1].figures[0].precise);
  EXPECT_TRUE(back.kernels[1].figures[0].shared_core);
  EXPECT_TRUE(back.kernels[1].figures[1].precise);
  EXPECT_TRUE(back.measures[0].waited);
  EXPECT_EQ(Refusal(Edited("\"precise\": true", "\"exact\": true")),
            "kernels[0].figures[0].precise: missing");

  // In 1.0 a figure was precise when its uncertainty was within the precision asked for.
  auto old = stats::ReadResultFile(std::string(STATS_FIXTURES) + "/imul-once.json");
  ASSERT_TRUE(std::holds_alternative<stats::ResultRecord>(old)) << std::get<std::string>(old);
  for (const stats::RecordKernel& kernel : std::get<stats::ResultRecord>(old).kernels) {
    for (const stats::RecordFigure& figure : kernel.figures) {
      EXPECT_EQ(figure.precise, figure.uncertainty_cycles <= 0.02) << kernel.name;
    }
  }
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
