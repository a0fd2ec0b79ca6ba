// absbench-stats given what no report is, and a benchmark that writes without end: short exact
// messages, small memory, a prompt stop, and no child left behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/child_process.h"

namespace {

using std::chrono::seconds;

constexpr long REFUSING_MEMORY_KB = 64 * 1024;

// A folder with a benchmark that writes its pid to a file, then `body`, removed at the end.
class Flooder {
 public:
  explicit Flooder(const std::string& body) {
    char folder[] = "/tmp/absbench-flood-XXXXXX";
    folder_ = mkdtemp(folder);
    std::ofstream(benchmark()) << "#!/bin/sh\necho $$ > " << pid_file() << "\n" << body << "\n";
    chmod(benchmark().c_str(), 0755);
  }
  ~Flooder() {
    for (const char* file : {"/benchmark", "/pid", "/runs.csv"}) unlink((folder_ + file).c_str());
    rmdir(folder_.c_str());
  }
  std::string benchmark() const { return folder_ + "/benchmark"; }
  std::string pid_file() const { return folder_ + "/pid"; }
  std::string csv() const { return folder_ + "/runs.csv"; }
  pid_t Pid() const {
    pid_t pid = 0;
    std::ifstream(pid_file()) >> pid;
    return pid;
  }

 private:
  std::string folder_;
};

// Whether `pid` has ended: no such process, or a zombie that nobody here will reap.
bool Ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pid_field, name, state;
  return !(stat >> pid_field >> name >> state) || state == "Z";
}

bool EndsWithin(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!Ended(pid)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

TEST(StatsUnderHostileInput, RefusesWhatIsNotAReportAtOnceWithAShortExactMessage) {
  char folder[] = "/tmp/absbench-hostile-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string big = std::string(folder) + "/big.txt";
  std::ofstream{big};
  ASSERT_EQ(truncate(big.c_str(), 300000000), 0) << "300 MB of zero bytes";
  const std::string line = std::string(folder) + "/line.txt";
  std::ofstream(line, std::ios::binary) << std::string(50000, '\0') << "\r\n";
  const struct {
    std::string path, says;
  } refusals[] = {
      {big, big + ": not a report: it holds more than 64 KiB"},
      {"/dev/zero", "/dev/zero: not a report: it holds more than 64 KiB"},
      {folder, std::string("cannot read ") + folder + ": Is a directory"},
      {line, line + ": line 1: expected \"----------------------\"; found \"\\x00\\x00"},
  };
  for (const auto& refusal : refusals) {
    const FinishedRun run = RunCommand(StatsCommand({refusal.path}), Input::DEV_NULL, seconds(10));
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << refusal.path;
    EXPECT_EQ(run.errors.rfind("absbench-stats: " + refusal.says, 0), 0u) << run.errors;
    EXPECT_LT(run.errors.size(), 300u) << refusal.path;
    EXPECT_LT(run.peak_memory_kb, REFUSING_MEMORY_KB) << refusal.path;
    EXPECT_LT(run.took, seconds(5)) << refusal.path;
  }
  unlink(big.c_str());
  unlink(line.c_str());
  rmdir(folder);
}

TEST(StatsUnderHostileInput, StopsABenchmarkThatWritesWithoutEndAndSaysItIsNotAReport) {
  const Flooder flooder("exec yes");
  const FinishedRun run = RunCommand(StatsCommand({"-n", "1", "--benchmark", flooder.benchmark()}),
                                     Input::DEV_NULL, seconds(30));
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.status;
  EXPECT_EQ(run.errors,
            "absbench-stats: run 1 of 1: not a report: the benchmark wrote more than 64 KiB (a "
            "report is under 1 KiB), so it was stopped there\n");
  EXPECT_LT(run.peak_memory_kb, REFUSING_MEMORY_KB);
  EXPECT_TRUE(EndsWithin(flooder.Pid(), std::chrono::milliseconds(0))) << "the child was left";
}

// absbench-stats with `arguments`, once the benchmark it starts has written its pid.
pid_t StartedWithItsBenchmark(const Flooder& flooder, const std::vector<std::string>& arguments) {
  const pid_t stats = StartQuietly(StatsCommand(arguments));
  for (int tries = 0; tries < 300 && flooder.Pid() == 0; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return stats;
}

// Sends `stop` to absbench-stats: it must end by it within 2 s, its benchmark gone.
void ExpectAPromptStop(pid_t stats, const Flooder& flooder, int stop) {
  const auto stopped_at = std::chrono::steady_clock::now();
  kill(stats, stop);
  const int status = WaitOrKill(stats, seconds(10));
  EXPECT_LT(std::chrono::steady_clock::now() - stopped_at, seconds(2)) << "not a prompt stop";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + stop) << "status " << status;
  EXPECT_TRUE(EndsWithin(flooder.Pid(), std::chrono::milliseconds(0))) << "the child was left";
}

TEST(StatsUnderHostileInput, CtrlCOrSigtermDuringAFloodEndsItPromptlyWithTheChildGoneAndNoFiles) {
  for (const int stop : {SIGINT, SIGTERM}) {
    // 40 KB a second: a flood that stays under the bound long enough to be stopped in it.
    const Flooder flooder("while :; do head -c 2000 /dev/zero; sleep 0.05; done");
    const pid_t stats = StartedWithItsBenchmark(
        flooder, {"-n", "1", "--benchmark", flooder.benchmark(), "--csv", flooder.csv()});
    ASSERT_GT(flooder.Pid(), 0) << "the benchmark never started";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ExpectAPromptStop(stats, flooder, stop);
    EXPECT_NE(access(flooder.csv().c_str(), F_OK), 0) << "a file was written";
  }
}

TEST(StatsUnderHostileInput, CtrlCOrSigtermEndsABenchmarkThatClosedItsOutputsWithItsGroup) {
  for (const int stop : {SIGINT, SIGTERM}) {
    const Flooder flooder("exec >&- 2>&-; sleep 30");
    const pid_t stats =
        StartedWithItsBenchmark(flooder, {"-n", "1", "--benchmark", flooder.benchmark()});
    ASSERT_GT(flooder.Pid(), 0) << "the benchmark never started";
    // Past the closing of its outputs, into the wait for it to end.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ExpectAPromptStop(stats, flooder, stop);
    // The benchmark led a group of its own: its sleep went with it (a moment is left for the system
    // to reap what it adopted). Under qemu-user the group still answers a second later, though
    // the benchmark itself is gone (checked above), so this is checked where programs run natively.
    for (int tries = 0; tries < 100 && kill(-flooder.Pid(), 0) == 0; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (std::string(TARGET_EMULATOR).empty()) {
      EXPECT_NE(kill(-flooder.Pid(), 0), 0) << "a process of its group was left";
    }
    if (kill(-flooder.Pid(), 0) == 0) kill(-flooder.Pid(), SIGKILL);
  }
}

TEST(StatsUnderHostileInput, LeavesNoBenchmarkRunningWhenItIsKilledItself) {
  const Flooder flooder("sleep 60");
  const pid_t stats =
      StartedWithItsBenchmark(flooder, {"-n", "1", "--benchmark", flooder.benchmark()});
  ASSERT_GT(flooder.Pid(), 0) << "the benchmark never started";
  kill(stats, SIGKILL);
  WaitOrKill(stats, seconds(10));
  EXPECT_TRUE(EndsWithin(flooder.Pid(), std::chrono::milliseconds(2000)))
      << "the benchmark outlived absbench-stats";
  if (!Ended(flooder.Pid())) kill(flooder.Pid(), SIGKILL);
}

}  // namespace
