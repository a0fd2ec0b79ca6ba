// absbench-stats --sweep run as a user runs it: kernels refused before anything runs, the files a
// short sweep writes, all three measures, and a stop.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/child_process.h"

namespace {

#ifdef SWEEP_AVAILABLE
using std::chrono::seconds;

TEST(StatsSweep, RefusesAKernelTypedWrongWithExitCodeTwoAndJustTheReason) {
  const struct {
    std::string argument, reason;
  } refusals[] = {
      {"bad-name=90", "'bad-name'"},
      {"abs0=90", "'abs0' is already taken"},
      {"hex=zz", "not hexadecimal"},
      {"odd=909", "odd number"},
      {"long=" + std::string(130, '9'), "65 bytes"},
      {"noequals", "NAME=HEX"},
  };
  for (const auto& refusal : refusals) {
    const FinishedRun run =
        RunCommand(StatsCommand({"--sweep", "--calls", "1000", "--kernel", refusal.argument}),
                   Input::DEV_NULL, seconds(30));
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 2) << refusal.argument;
    EXPECT_NE(run.errors.find(refusal.reason), std::string::npos)
        << refusal.argument << ": " << run.errors;
    EXPECT_EQ(run.errors.find("usage:"), std::string::npos) << "the reason is enough";
    EXPECT_EQ(run.output, "") << "the sweep ran despite " << refusal.argument;
  }
}

TEST(StatsSweep, ShortRunWritesEveryPlacementToTheCsvAndAValidChart) {
  const std::string directory = TemporaryDirectory();
  const std::string csv = directory + "/sweep.csv", svg = directory + "/sweep.svg";
  const FinishedRun run =
      RunCommand(StatsCommand({"--sweep", "--calls", "2000", "--rounds", "2", "--seed", "3",
                               "--csv", csv, "--svg", svg, "--kernel", "mine=85c0"}),
                 Input::DEV_NULL, seconds(120));
  ASSERT_TRUE(WIFEXITED(run.status)) << run.status;
  EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.errors;
  EXPECT_NE(run.output.find("seed 3"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("GHz seen; no figure depends on it"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("\nnoise: "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find(" mine "), std::string::npos) << run.output;
  const std::string rows = ReadFile(csv);
  EXPECT_EQ(rows.rfind("pass,kernel,loop_offset,kernel_offset,net_ms,net_cycles,", 0), 0u);
  EXPECT_EQ(LineCount(rows), 1 + 2 * 13 * 64) << "passes x kernels x placements";
  EXPECT_EQ(std::system(("xmllint --noout " + svg).c_str()), 0) << "xmllint refused the chart";
  for (const std::string& name : FilesIn(directory)) std::remove((directory + "/" + name).c_str());
  rmdir(directory.c_str());
}
TEST(StatsSweep, RefusesAssemblyTextThatDoesNotAssembleWithTheAssemblersOwnWords) {
  const FinishedRun run = RunCommand(
      StatsCommand({"--sweep", "--calls", "1000", "--kernel-asm", "bad=neg eax; frob eax"}),
      Input::DEV_NULL, seconds(30));
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 2) << run.status;
  EXPECT_NE(run.errors.find("kernel bad: "), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("bad:1: Error: no such instruction: `frob eax'"), std::string::npos)
      << run.errors;
  EXPECT_EQ(run.output, "") << "something was timed";
}

TEST(StatsSweep, AllThreeMeasuresWriteTheirRowsWithAMeasureColumnAndLeaveOutAFaultingInlineCopy) {
  const std::string directory = TemporaryDirectory();
  const std::string csv = directory + "/all.csv", svg = directory + "/all.svg";
  const FinishedRun run =
      RunCommand(StatsCommand({"--sweep", "--measure", "all", "--calls", "300", "--rounds", "2",
                               "--csv", csv, "--svg", svg, "--kernel-asm",
                               "mine=test eax, eax; jns 1f; neg eax; 1:", "--kernel", "jump=EB04"}),
                 Input::DEV_NULL, seconds(120));
  ASSERT_TRUE(WIFEXITED(run.status)) << run.status;
  EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.errors;
  EXPECT_NE(run.output.find("mine (test eax, eax; jns 1f; neg eax; 1:)"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("\nlatency: not measured for jump: the process running its inline "
                            "copy was killed by SIGTRAP"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("\nnoise: throughput "), std::string::npos) << run.output;
  const std::string rows = ReadFile(csv);
  EXPECT_EQ(rows.rfind("pass,kernel,loop_offset,kernel_offset,net_ms,net_cycles,measure,", 0), 0u);
  // call: 2 passes x 14 kernels x 64 placements; latency and throughput: 2 x 13 x 64 each.
  EXPECT_EQ(LineCount(rows), 1 + 2 * 14 * 64 + 2 * (2 * 13 * 64)) << rows.substr(0, 200);
  EXPECT_NE(rows.find(",mine,"), std::string::npos);
  EXPECT_NE(rows.find(",latency,"), std::string::npos);
  EXPECT_NE(rows.find(",throughput,"), std::string::npos);
  EXPECT_EQ(std::system(("xmllint --noout " + svg).c_str()), 0) << "xmllint refused the chart";
  for (const std::string& name : FilesIn(directory)) std::remove((directory + "/" + name).c_str());
  rmdir(directory.c_str());
}

TEST(StatsSweep, StoppedByCtrlCOrSigtermWithinASecondExitsByThatSignalAndLeavesNoCsvOrChart) {
  // Far more rounds than the test waits for, and for Ctrl-C the longest chunks there are.
  const std::vector<std::string> longest = {"--calls", "1000000"};
  for (const int stop : {SIGINT, SIGTERM}) {
    const std::string directory = TemporaryDirectory();
    std::vector<std::string> arguments = {"--sweep",
                                          "--rounds",
                                          "1000",
                                          "--csv",
                                          directory + "/sweep.csv",
                                          "--svg",
                                          directory + "/sweep.svg"};
    if (stop == SIGINT) arguments.insert(arguments.end(), longest.begin(), longest.end());
    const pid_t stats = StartQuietly(StatsCommand(arguments));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(stats, stop);
    const auto stopped_at = std::chrono::steady_clock::now();
    const int status = WaitOrKill(stats, seconds(20));
    EXPECT_LT(std::chrono::steady_clock::now() - stopped_at, seconds(1)) << "signal " << stop;
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + stop);
    EXPECT_EQ(FilesIn(directory), std::vector<std::string>{});
    rmdir(directory.c_str());
  }
}
// The state letter of a process ('T' stopped, 'R' running...), or 0 when it is gone; and the
// child of `parent` whose command line holds `word`, or 0.
char StateOf(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  const std::string line(std::istreambuf_iterator<char>(stat), {});
  const size_t name_end = line.rfind(')');
  return name_end == std::string::npos || name_end + 2 >= line.size() ? 0 : line[name_end + 2];
}
pid_t ChildWith(pid_t parent, const std::string& word) {
  for (const std::string& entry : FilesIn("/proc")) {
    if (entry[0] < '1' || entry[0] > '9') continue;
    std::ifstream stat("/proc/" + entry + "/stat");
    const std::string line(std::istreambuf_iterator<char>(stat), {});
    const size_t name_end = line.rfind(')');
    if (name_end == std::string::npos || std::atoi(line.c_str() + name_end + 4) != parent) continue;
    if (ReadFile("/proc/" + entry + "/cmdline").find(word) != std::string::npos)
      return std::atoi(entry.c_str());
  }
  return 0;
}
// Whether `test` holds within `limit`, looked at every 10 ms.
template <typename Test>
bool Within(std::chrono::milliseconds limit, Test test) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!test() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return test();
}

TEST(StatsSweep, CtrlZStopsTheMeasuringProcessTooAndFgResumesItWithTheTimeStoppedNotCounted) {
  for (const bool interrupted : {false, true}) {
    // A job of its own, as a shell makes it, so that a stop is not ignored as an orphan's.
    const pid_t stats = fork();
    if (stats == 0) {
      setpgid(0, 0);
      dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
      dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
      Exec(StatsCommand({"--sweep", "--measure", "call", "--seconds", "2"}));
    }
    pid_t measuring = 0;
    ASSERT_TRUE(Within(std::chrono::milliseconds(10000),
                       [&] { return (measuring = ChildWith(stats, "measuring")) != 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(stats, SIGTSTP);
    EXPECT_TRUE(Within(std::chrono::milliseconds(2000),
                       [&] { return StateOf(stats) == 'T' && StateOf(measuring) == 'T'; }))
        << StateOf(stats) << StateOf(measuring);
    // Longer than the sweep has left: were it counted, the rounds would end on resuming.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_EQ(StateOf(measuring), 'T') << "the measuring process went on";
    if (interrupted) kill(stats, SIGINT);
    kill(stats, SIGCONT);
    const auto resumed_at = std::chrono::steady_clock::now();
    EXPECT_TRUE(Within(std::chrono::milliseconds(1000), [&] { return StateOf(measuring) != 'T'; }));
    const int status = WaitOrKill(stats, seconds(30));
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), interrupted ? 130 : 0);
    if (!interrupted) {
      EXPECT_GT(std::chrono::steady_clock::now() - resumed_at, std::chrono::milliseconds(700))
          << "the time stopped counted toward the sweep's";
    }
    const char left = StateOf(measuring);
    EXPECT_TRUE(left == 0 || left == 'Z') << "the measuring process was left: " << left;
  }
}
#endif

}  // namespace
