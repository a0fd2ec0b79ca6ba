// --json and --compare as a user runs them: two short sweeps of a kernel changed between them, a
// record compared with itself, two sweeps on two processors, and every kind of file that is not a
// record.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"

namespace {

using std::chrono::seconds;

// absbench-stats with `arguments`, run in `folder`, so that the files' names are short.
FinishedRun StatsIn(const std::string& folder, const std::vector<std::string>& arguments) {
  std::vector<std::string> command = {"/bin/sh", "-c", "cd \"$0\" && exec \"$@\"", folder};
  for (const std::string& word : TargetCommand(STATS_PATH)) command.push_back(word);
  command.insert(command.end(), arguments.begin(), arguments.end());
  return RunCommand(command, Input::DEV_NULL, seconds(120));
}

bool ExitedWith(const FinishedRun& run, int code) {
  return WIFEXITED(run.status) && WEXITSTATUS(run.status) == code;
}

TEST(CompareSavedRecords, TwoFilesFromAnotherBuildCompareToTheVerdictsSavedWithThem) {
  const FinishedRun run =
      StatsIn(STATS_FIXTURES, {"--compare", "imul-once.json", "imul-twice.json"});
  EXPECT_TRUE(ExitedWith(run, 0)) << run.errors;
  EXPECT_EQ(run.output, ReadFile(std::string(STATS_FIXTURES) + "/compare-imul.txt"));
}

TEST(CompareBadFiles, EachEndsWithOneLineNamingTheFileAndNothingPrintedAsAComparison) {
  const std::string folder = TemporaryDirectory();
  const std::string good = ReadFile(std::string(STATS_FIXTURES) + "/imul-once.json");
  std::ofstream(folder + "/good.json") << good;
  std::ofstream(folder + "/truncated.json") << good.substr(0, good.size() / 3);
  std::ofstream(folder + "/other.json") << R"({"name": "left-pad", "version": "1.3.0"})";
  std::ofstream(folder + "/newer.json")
      << std::regex_replace(good, std::regex("\"1\\.0\""), "\"2.0\"");
  std::ofstream(folder + "/sweep.csv") << "pass,kernel,loop_offset,kernel_offset,net_ms\n";
  std::ofstream(folder + "/huge.json") << std::string(17 * 1024 * 1024, ' ');
  std::ofstream(folder + "/overflow.json")
      << std::regex_replace(good, std::regex("\"seed\": 1"), "\"seed\": 1e999");
  std::ofstream(folder + "/escape.json")
      << std::regex_replace(good, std::regex("\"abs3\""), "\"\\u001b[2J\"");
  const struct {
    std::string file, says;
  } bad[] = {
      {"truncated.json", "truncated.json: not whole: the JSON ends early"},
      {"other.json", "other.json: JSON, but not an absbench result (no \"schema\" field)"},
      {"newer.json", "newer.json: schema version 2.0; this absbench-stats reads 1.x"},
      {"sweep.csv", "sweep.csv: a sweep's CSV, not its --json record"},
      {"huge.json", "huge.json: larger than 16 MiB, far above any result record"},
      {"overflow.json", "overflow.json: a number too large for any figure"},
      {"escape.json", "escape.json: kernels[0].name: a control character in the text"},
      {"missing.json", "missing.json: cannot read: No such file or directory"},
      {"/tmp", "/tmp: cannot read: Is a directory"},
  };
  for (const auto& file : bad) {
    const FinishedRun run =
        StatsIn(folder, {"--compare", "good.json", file.file, "--csv", "c.csv"});
    EXPECT_TRUE(ExitedWith(run, 1)) << file.file;
    EXPECT_EQ(run.output, "") << file.file;
    EXPECT_EQ(run.errors, "absbench-stats: " + file.says + "\n");
  }
  EXPECT_EQ(FilesIn(folder).size(), 8u) << "a CSV was written after all";
  for (const std::string& name : FilesIn(folder)) std::remove((folder + "/" + name).c_str());
  rmdir(folder.c_str());
}

#ifdef SWEEP_AVAILABLE
// The median and the difference in the text row of `kernel` of the first table.
struct Row {
  bool found = false;
  double difference = 0;
  std::string verdict;
};
Row FirstRowOf(const std::string& output, const std::string& kernel) {
  std::smatch match;
  Row row;
  const std::regex pattern("\n" + kernel + " +[0-9.]+ +[0-9.]+ +([-+]?[0-9.]+) +([a-z]+)");
  if (std::regex_search(output, match, pattern)) {
    row = {true, std::stod(match[1]), match[2]};
  }
  return row;
}

// Sweeps `k` once as `once` and once as `twice`, pinned to `cpu`, and compares them.
FinishedRun CompareChangedKernel(const std::string& folder, const std::string& cpu,
                                 const std::string& once, const std::string& twice) {
  const std::vector<std::string> sweep = {"--sweep", "--measure", "latency", "--rounds",
                                          "8",       "--cpu",     cpu};
  std::vector<std::string> first = sweep, second = sweep;
  first.insert(first.end(), {"--kernel-asm", "k=" + once, "--json", "once.json"});
  second.insert(second.end(), {"--kernel-asm", "k=" + twice, "--json", "twice.json"});
  const FinishedRun ran = StatsIn(folder, first);
  EXPECT_TRUE(ExitedWith(ran, 0)) << ran.errors;
  EXPECT_NE(ran.output.find("\nresult record: once.json ("), std::string::npos) << ran.output;
  EXPECT_TRUE(ExitedWith(StatsIn(folder, second), 0));
  const FinishedRun compared = StatsIn(folder, {"--compare", "once.json", "twice.json"});
  EXPECT_TRUE(ExitedWith(compared, 0)) << compared.errors;
  return compared;
}

TEST(SweepRecords, AKernelChangedFromOneImulToTwoIsSlowerByItsLatencyAndSaidToDiffer) {
  const std::string folder = TemporaryDirectory();
  // A processor whose core has a busy other thread (another tenant's, on a shared host) gives no
  // verdict: then the other processor is tried, and if both are shared, the verdict is skipped.
  FinishedRun compared;
  bool shared = true;
  for (const char* cpu : {"0", "1"}) {
    compared = CompareChangedKernel(folder, cpu, "imul eax, eax", "imul eax, eax; imul eax, eax");
    shared =
        compared.output.find("on a shared core (its other thread was busy)") != std::string::npos;
    if (!shared) break;
  }
  const Row k = FirstRowOf(compared.output, "k");
  ASSERT_TRUE(k.found) << compared.output;
  if (!shared) {
    EXPECT_EQ(k.verdict, "slower") << compared.output;
    EXPECT_NEAR(k.difference, 3, 0.15) << "an IMUL's latency is 3 cycles";
  }
  EXPECT_NE(compared.output.find("k: the code differs in twice.json from the baseline's"),
            std::string::npos)
      << compared.output;

  // The same record against itself: every figure the same.
  const FinishedRun itself =
      StatsIn(folder, {"--compare", "once.json", "once.json", "--csv", "self.csv"});
  EXPECT_TRUE(ExitedWith(itself, 0)) << itself.errors;
  const std::string csv = ReadFile(folder + "/self.csv");
  EXPECT_EQ(std::regex_search(csv, std::regex(",(faster|slower|missing),")), false) << csv;
  EXPECT_GT(std::count(csv.begin(), csv.end(), '\n'), 20);
  for (const std::string& name : FilesIn(folder)) std::remove((folder + "/" + name).c_str());
  rmdir(folder.c_str());
  if (shared) GTEST_SKIP() << "both processors' cores had a busy other thread: no verdict";
}

TEST(SweepRecords, TwoSweepsOfTheSameKernelsOnTwoProcessorsJudgeNearlyEveryFigureTheSame) {
  const std::string folder = TemporaryDirectory();
  for (const char* cpu : {"0", "1"}) {
    const FinishedRun run = StatsIn(folder, {"--sweep", "--seconds", "4", "--cpu", cpu, "--json",
                                             std::string("cpu") + cpu + ".json"});
    ASSERT_TRUE(ExitedWith(run, 0)) << run.errors;
  }
  const FinishedRun compared =
      StatsIn(folder, {"--compare", "cpu0.json", "cpu1.json", "--csv", "both.csv"});
  EXPECT_TRUE(ExitedWith(compared, 0)) << compared.errors;
  const std::string csv = ReadFile(folder + "/both.csv");
  const std::regex judged(",cpu1\\.json,[^\n]*,(same|faster|slower|missing),");
  size_t figures = 0, same = 0;
  for (auto row = std::sregex_iterator(csv.begin(), csv.end(), judged);
       row != std::sregex_iterator(); ++row) {
    ++figures;
    same += (*row)[1] == "same" ? 1 : 0;
  }
  EXPECT_GE(figures, 20u) << csv;
  EXPECT_GE(10 * same, 9 * figures) << compared.output;
  for (const std::string& name : FilesIn(folder)) std::remove((folder + "/" + name).c_str());
  rmdir(folder.c_str());
}
#endif

}  // namespace
