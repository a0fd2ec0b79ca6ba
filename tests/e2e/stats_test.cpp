// absbench-stats run as a user runs it: its options, and two runs of the quick-count benchmark.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// Outputs never replace a device, never overwrite an input, and are tried before anything runs.
TEST(StatsOutputFiles, ADeviceIsWrittenInPlaceAnInputIsNoOutputAndAPathIsTriedFirst) {
  const std::string directory = TemporaryDirectory(), baseline = directory + "/a.json";
  const std::string record = ReadFile(STATS_FIXTURES "/imul-once.json");
  std::ofstream(baseline) << record;
  const std::vector<std::string> compare = {"--compare", baseline,
                                            STATS_FIXTURES "/imul-twice.json"};
  auto with = [&](std::vector<std::string> arguments, const std::vector<std::string>& more) {
    arguments.insert(arguments.end(), more.begin(), more.end());
    return RunCommand(StatsCommand(arguments), Input::DEV_NULL, seconds(60));
  };
  // A device of the test's own, not the machine's /dev/null, which a failure would replace; and a
  // FIFO, whose reader gets the CSV.
  const std::string device = directory + "/null", fifo = directory + "/fifo";
  const bool made_device = mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Opened for reading first, so that the program's open for writing goes through at once; the
  // CSV (under 2 KiB) waits in the FIFO until it is read.
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const FinishedRun sink =
      with(compare, {"--csv", fifo, "--svg", made_device ? device : directory + "/chart.svg"});
  char bytes[4096];
  const ssize_t count = read(reader, bytes, sizeof bytes);
  const std::string from_fifo(bytes, count > 0 ? static_cast<size_t>(count) : 0);
  close(reader);
  EXPECT_TRUE(WIFEXITED(sink.status) && WEXITSTATUS(sink.status) == 0) << sink.errors;
  struct stat node;
  ASSERT_EQ(stat(fifo.c_str(), &node), 0);
  EXPECT_TRUE(S_ISFIFO(node.st_mode)) << "the FIFO was replaced";
  EXPECT_EQ(from_fifo.rfind("measure,pass,kernel,", 0), 0u) << from_fifo;
  if (made_device) {
    ASSERT_EQ(stat(device.c_str(), &node), 0);
    EXPECT_TRUE(S_ISCHR(node.st_mode)) << "the device was replaced";
  }
  unlink(fifo.c_str());
  unlink(device.c_str());
  unlink((directory + "/chart.svg").c_str());

  const FinishedRun over_input = with(compare, {"--csv", baseline});
  EXPECT_TRUE(WIFEXITED(over_input.status) && WEXITSTATUS(over_input.status) == 2);
  EXPECT_EQ(over_input.errors, "absbench-stats: --csv " + baseline +
                                   " names the same file as the record " + baseline + "\n");
  EXPECT_EQ(ReadFile(baseline), record);
  const FinishedRun twice = with(compare, {"--csv", directory + "/x", "--svg", directory + "/x"});
  EXPECT_TRUE(WIFEXITED(twice.status) && WEXITSTATUS(twice.status) == 2) << twice.errors;

  // A link is written through, to the file it names, and stays a link.
  const std::string target = directory + "/target.csv", link = directory + "/link.csv";
  ASSERT_EQ(symlink("target.csv", link.c_str()), 0);
  const FinishedRun through = with(compare, {"--csv", link});
  EXPECT_TRUE(WIFEXITED(through.status) && WEXITSTATUS(through.status) == 0) << through.errors;
  struct stat link_node;
  ASSERT_EQ(lstat(link.c_str(), &link_node), 0);
  EXPECT_TRUE(S_ISLNK(link_node.st_mode)) << "the link was replaced";
  EXPECT_EQ(ReadFile(target).rfind("measure,pass,kernel,", 0), 0u);
  unlink(link.c_str());
  unlink(target.c_str());

  // Found out before the benchmark runs, not after: nothing is printed.
  const FinishedRun lost =
      with({"-n", "1", "--benchmark", STATS_BENCHMARK_PATH}, {"--csv", directory + "/no/x.csv"});
  EXPECT_TRUE(WIFEXITED(lost.status) && WEXITSTATUS(lost.status) == 1);
  EXPECT_EQ(lost.errors,
            "absbench-stats: cannot write " + directory + "/no/x.csv: No such file or directory\n");
  EXPECT_EQ(lost.output, "");
  EXPECT_EQ(FilesIn(directory), std::vector<std::string>{"a.json"});
  unlink(baseline.c_str());
  rmdir(directory.c_str());
}

TEST(StatsStandardOutput, ThatIsClosedOrFullEndsWithOneAndSaysSo) {
  const std::vector<std::string> compare = StatsCommand(
      {"--compare", STATS_FIXTURES "/imul-once.json", STATS_FIXTURES "/imul-twice.json"});
  std::vector<std::string> closed = {"sh", "-c", "exec \"$@\" >&-", "sh"};
  closed.insert(closed.end(), compare.begin(), compare.end());
  for (const FinishedRun& run :
       {RunCommand(compare, Input::DEV_NULL, seconds(30), "/dev/full"),
        RunCommand(closed, Input::DEV_NULL, seconds(30)),
        RunCommand(StatsCommand({"--help"}), Input::DEV_NULL, seconds(30), "/dev/full")}) {
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.status;
    EXPECT_EQ(
        run.errors,
        "absbench-stats: standard output could not be written (closed, or its device full)\n");
  }
}

#ifdef SWEEP_AVAILABLE
// A FIFO no one reads makes the sweep wait at its end; a stop then ends it as a stop, not as a
// file that could not be written.
TEST(StatsOutputFiles, AStopWhileAFifoWaitsForItsReaderEndsAsAStop) {
  const std::string directory = TemporaryDirectory(), fifo = directory + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const pid_t stats =
      StartQuietly(StatsCommand({"--sweep", "--rounds", "2", "--calls", "1000", "--csv", fifo}));
  bool waiting = false;
  for (int tries = 0; tries < 600 && !waiting; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // Linux names the wait of an open of a FIFO with no reader "wait_for_partner".
    waiting = ReadFile("/proc/" + std::to_string(stats) + "/wchan") == "wait_for_partner";
  }
  EXPECT_TRUE(waiting) << "the sweep never came to wait for the FIFO's reader";
  kill(stats, SIGTERM);
  const int status = WaitOrKill(stats, seconds(30));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 143) << status;
  unlink(fifo.c_str());
  rmdir(directory.c_str());
}
#endif

}  // namespace
