// absbench-stats --sweep run as a user runs it: kernels refused before anything runs, the files a
// short sweep writes, all three measures, and a stop.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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
#endif

}  // namespace
