// absbench-stats run as a user runs it: its options, and two runs of the quick-count benchmark.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/child_process.h"

namespace {

using std::chrono::seconds;

TEST(StatsOptions, AnUnknownOptionOrBadValueNamesItWithTheUsageAndExitsWithTwo) {
  const std::vector<std::vector<std::string>> mistakes = {
      {"--frobnicate"}, {"-n", "zero"}, {"-n", "0"}, {"-n", "-3"}, {"--csv"}, {"-n", "2", "x.txt"}};
  for (const auto& arguments : mistakes) {
    const FinishedRun run = RunCommand(StatsCommand(arguments), Input::DEV_NULL, seconds(30));
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 2) << arguments[0];
    EXPECT_NE(run.errors.find("usage: absbench-stats"), std::string::npos) << arguments[0];
    const std::string& named = arguments.size() > 1 && arguments[0] == "-n" && arguments[1] != "2"
                                   ? arguments[1]
                                   : arguments[0];
    EXPECT_NE(run.errors.find(named), std::string::npos)
        << "the message does not name the mistake: " << run.errors;
    EXPECT_EQ(run.output, "");
  }
}

TEST(StatsOptions, HelpExplainsEveryOptionAndExitsWithZero) {
  const FinishedRun run = RunCommand(StatsCommand({"--help"}), Input::DEV_NULL, seconds(30));
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0);
  for (const char* option : {"-n RUNS", "--csv FILE", "--svg FILE", "--benchmark PATH", "REPORT"}) {
    EXPECT_NE(run.output.find(option), std::string::npos) << option;
  }
}

TEST(StatsOfSavedReports, RefusesADamagedReportNamingTheFileAndLine) {
  const std::string directory = TemporaryDirectory();
  const std::string damaged = directory + "/damaged.txt";
  std::ofstream(damaged, std::ios::binary) << "----------------------\r\nempty procedure\r\n";
  const FinishedRun run = RunCommand(StatsCommand({damaged}), Input::DEV_NULL, seconds(30));
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1);
  EXPECT_NE(run.errors.find(damaged + ": line 2"), std::string::npos) << run.errors;
  EXPECT_EQ(run.output, "") << "a summary was built from partial data";
  std::remove(damaged.c_str());
  rmdir(directory.c_str());
}

TEST(StatsOfTwoRuns, WritesTheSummaryACsvOfFortyEightRowsAndAValidChart) {
  const std::string directory = TemporaryDirectory();
  const std::string csv = directory + "/runs.csv", svg = directory + "/runs.svg";
  const FinishedRun run = RunCommand(
      StatsCommand({"-n", "2", "--csv", csv, "--svg", svg, "--benchmark", STATS_BENCHMARK_PATH}),
      Input::DEV_NULL, seconds(120));
  ASSERT_TRUE(WIFEXITED(run.status)) << run.status;
  EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.errors;
  EXPECT_EQ(run.errors, "") << "progress must stay off when standard error is not a terminal";
  EXPECT_NE(run.output.find("absbench-stats: 2 runs of " STATS_BENCHMARK_PATH), std::string::npos);
  EXPECT_NE(run.output.find("negative pass (operand -1)"), std::string::npos) << run.output;
  const std::string rows = ReadFile(csv);
  EXPECT_EQ(rows.rfind("run,pass,kernel,net_ms,baseline_ms\n", 0), 0u);
  EXPECT_EQ(LineCount(rows), 1 + 48);
  EXPECT_EQ(std::system(("xmllint --noout " + svg).c_str()), 0) << "xmllint refused the chart";
  for (const std::string& name : FilesIn(directory)) std::remove((directory + "/" + name).c_str());
  rmdir(directory.c_str());
}

TEST(StatsOfAFailedRun, SaysWhatTheBenchmarkSaidOnStandardError) {
  const std::string directory = TemporaryDirectory();
  const std::string failing = directory + "/failing-benchmark";
  std::ofstream(failing) << "#!/bin/sh\n"
                            "echo 'absbench: the report could not be written: "
                            "No space left on device' >&2\n"
                            "exit 1\n";
  chmod(failing.c_str(), 0700);
  const FinishedRun run =
      RunCommand(StatsCommand({"-n", "1", "--benchmark", failing}), Input::DEV_NULL, seconds(30));
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.status;
  EXPECT_NE(run.errors.find("run 1 of 1: the benchmark exited with status 1; it said: "
                            "\"absbench: the report could not be written: No space left on "
                            "device\""),
            std::string::npos)
      << run.errors;
  std::remove(failing.c_str());
  rmdir(directory.c_str());
}

// The running benchmark, as the kernel lists the children of `parent`.
pid_t ChildOf(pid_t parent) {
  std::ifstream children("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) +
                         "/children");
  pid_t child = 0;
  children >> child;
  return child;
}

TEST(StatsStopped, ByCtrlCOrSigtermEndsTheBenchmarkAndLeavesNoCsvOrChart) {
  for (const int stop : {SIGINT, SIGTERM}) {
    const std::string directory = TemporaryDirectory();
    const pid_t stats =
        StartQuietly(StatsCommand({"-n", "2", "--csv", directory + "/runs.csv", "--svg",
                                   directory + "/runs.svg", "--benchmark", STATS_BENCHMARK_PATH}));
    pid_t benchmark = 0;
    for (int tries = 0; tries < 100 && benchmark == 0; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      benchmark = ChildOf(stats);
    }
    ASSERT_NE(benchmark, 0) << "the benchmark did not start";
    kill(stats, stop);
    const int status = WaitOrKill(stats, seconds(20));
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + stop);
    EXPECT_NE(kill(benchmark, 0), 0) << "the benchmark is still running";
    EXPECT_EQ(FilesIn(directory), std::vector<std::string>{});
    rmdir(directory.c_str());
  }
}

TEST(StatsOutputFiles, AFileThatCannotBeWrittenEndsWithOneAndTheReasonAndLeavesNoTemporaryFile) {
  std::vector<std::vector<std::string>> commands = {
      {"-n", "1", "--benchmark", STATS_BENCHMARK_PATH}};
#ifdef SWEEP_AVAILABLE
  commands.push_back({"--sweep", "--calls", "1000", "--rounds", "2"});
#endif
  for (std::vector<std::string> arguments : commands) {
    const std::string directory = TemporaryDirectory();
    const std::string taken = directory + "/taken";
    ASSERT_EQ(mkdir(taken.c_str(), 0755), 0);
    arguments.insert(arguments.end(), {"--csv", taken, "--svg", directory + "/chart.svg"});
    const FinishedRun run = RunCommand(StatsCommand(arguments), Input::DEV_NULL, seconds(60));
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << arguments[0];
    EXPECT_NE(run.errors.find("absbench-stats: cannot write " + taken + ": "), std::string::npos)
        << run.errors;
    EXPECT_EQ(FilesIn(directory), std::vector<std::string>{"taken"}) << arguments[0];
    rmdir(taken.c_str());
    rmdir(directory.c_str());
  }
}

}  // namespace
