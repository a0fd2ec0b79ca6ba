// A child that will not end by itself: time limits, stops from outside, and what it leaves behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "stats/system/child_roles.h"
#include "stats/system/processes.h"
#include "tests/stats/test_roles.h"

namespace {

// A program that closes its outputs and goes on, as a hung benchmark can; with `ignoring_sigterm`
// it also ignores SIGTERM.
std::vector<std::string> ClosesItsOutputsAndSleeps(bool ignoring_sigterm) {
  return {"sh", "-c",
          std::string(ignoring_sigterm ? "trap '' TERM; " : "") + "exec >&- 2>&-; exec sleep 30"};
}

// Whether `pid` is gone: no such process, or a zombie nobody reaped.
bool Gone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pid_field, name, state;
  return !(stat >> pid_field >> name >> state) || state == "Z";
}

bool GoneWithin(pid_t pid, std::chrono::milliseconds limit) {
  for (auto waited = std::chrono::milliseconds(0); waited < limit;
       waited += std::chrono::milliseconds(10)) {
    if (Gone(pid)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return Gone(pid);
}

// The pid a child wrote to `path`, waited for up to 5 s; 0 if none came.
pid_t PidWrittenTo(const std::string& path) {
  pid_t pid = 0;
  for (int tries = 0; tries < 500 && pid == 0; ++tries) {
    std::ifstream(path) >> pid;
    if (pid == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return pid;
}

std::string TemporaryFile(const char* name_template) {
  std::string path = name_template;
  const int fd = mkstemp(path.data());
  if (fd >= 0) close(fd);
  return fd >= 0 ? path : "";
}

TEST(ChildRun, KeepsItsTimeLimitForAChildThatClosedItsOutputsAndGoesOn) {
  stats::ChildLimits limits;
  limits.time_limit_ms = 300;
  const auto start = std::chrono::steady_clock::now();
  const stats::ChildRun run = stats::RunProgram(ClosesItsOutputsAndSleeps(false), limits, true);
  EXPECT_EQ(run.outcome, stats::ChildRun::TIMED_OUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

// How a child keeps going after it was asked to stop.
enum class Stubborn { CLOSES_ITS_OUTPUTS, IGNORES_SIGTERM, LEAVES_ITS_GROUP };

// Roles that write their pid to the file their input names, then go on.
const bool STOPPING_ROLES_ADDED =
    testing_roles::Add("leaves-its-group",
                       [](const std::string&, const stats::RoleContext&) {
                         setpgid(0, getpgid(getppid()));
                         sleep(30);
                         _exit(0);
                       }) &&
    testing_roles::Add("says-its-pid-and-sleeps",
                       [](const std::string& pid_file, const stats::RoleContext&) {
                         std::ofstream(pid_file) << getpid() << "\n";
                         sleep(60);
                         _exit(0);
                       }) &&
    testing_roles::Add("kills-its-group",
                       [](const std::string&, const stats::RoleContext&) { kill(0, SIGKILL); }) &&
    testing_roles::Add("leaves-a-child-behind",
                       [](const std::string& pid_file, const stats::RoleContext&) {
                         if (fork() == 0) {
                           for (int fd = STDOUT_FILENO; fd < 1024; ++fd)
                             close(fd);  // every end of every pipe
                           std::ofstream(pid_file) << getpid() << "\n";
                           sleep(30);
                           _exit(0);
                         }
                         PidWrittenTo(pid_file);
                         _exit(0);
                       });

stats::ChildRun RunStubborn(Stubborn how, const stats::ChildLimits& limits) {
  if (how != Stubborn::LEAVES_ITS_GROUP)
    return stats::RunProgram(ClosesItsOutputsAndSleeps(how == Stubborn::IGNORES_SIGTERM), limits,
                             true);
  return stats::RunRole("leaves-its-group", "", limits);
}

// In a fresh process, whose stop flag no earlier test set: the stop comes from another process,
// as a terminal or a CI job's timeout sends it (and not from a thread, which an emulator's signal
// delivery can upset). Exits with 0 when the child was STOPPED within 2 s of the signal, with 2
// when a child that ignores SIGTERM was not ended by SIGKILL after its grace.
[[noreturn]] void StopAfterwards(int signal_number, Stubborn how) {
  stats::InstallStopHandlers();
  const pid_t tester = getpid();
  const pid_t sender = fork();
  if (sender == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(tester, signal_number);
    _exit(0);
  }
  stats::ChildLimits limits;
  limits.stops_with_us = true;
  const auto start = std::chrono::steady_clock::now();
  const stats::ChildRun run = RunStubborn(how, limits);
  const bool prompt = std::chrono::steady_clock::now() - start < std::chrono::milliseconds(2300);
  waitpid(sender, nullptr, 0);
  if (how == Stubborn::IGNORES_SIGTERM && run.ending.words != "was killed by SIGKILL (Killed)")
    _exit(2);
  _exit(run.outcome == stats::ChildRun::STOPPED && prompt ? 0 : 1);
}

TEST(ChildRun, ObeysEveryStopSignalFromAnotherProcessWhateverTheChildDoesToGoOn) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  for (const auto& [stop, how] : {std::pair{SIGINT, Stubborn::CLOSES_ITS_OUTPUTS},
                                  std::pair{SIGTERM, Stubborn::CLOSES_ITS_OUTPUTS},
                                  std::pair{SIGHUP, Stubborn::CLOSES_ITS_OUTPUTS},
                                  std::pair{SIGINT, Stubborn::IGNORES_SIGTERM},
                                  std::pair{SIGTERM, Stubborn::LEAVES_ITS_GROUP}}) {
    const pid_t tester = fork();
    if (tester == 0) StopAfterwards(stop, how);
    int status = 0;
    waitpid(tester, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "signal " << stop << " with a child that goes on in way " << static_cast<int>(how)
        << " not obeyed within 2 s, or a SIGTERM ignored without SIGKILL after the grace: "
        << "wait status " << status;
  }
}

TEST(ChildRun, NeverLeavesTheChildRunningWhenThisProcessIsKilled) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  const std::string pid_file = TemporaryFile("/tmp/absbench-orphan-XXXXXX");
  ASSERT_FALSE(pid_file.empty());
  const pid_t middle = fork();
  if (middle == 0) {
    stats::RunRole("says-its-pid-and-sleeps", pid_file, {});
    _exit(0);
  }
  const pid_t grandchild = PidWrittenTo(pid_file);
  ASSERT_GT(grandchild, 0) << "the child never started";
  kill(middle, SIGKILL);
  waitpid(middle, nullptr, 0);
  const bool gone = GoneWithin(grandchild, std::chrono::seconds(2));
  EXPECT_TRUE(gone) << "the child outlived the process that started it";
  if (!gone) kill(grandchild, SIGKILL);
  unlink(pid_file.c_str());
}

TEST(ChildRun, KeepsKillOfItsOwnGroupInsideAndEndsWhatTheChildLeftInIt) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  const std::string pid_file = TemporaryFile("/tmp/absbench-group-XXXXXX");
  ASSERT_FALSE(pid_file.empty());
  const stats::ChildRun killed = stats::RunRole("kills-its-group", "", {});
  EXPECT_EQ(killed.ending.words, "was killed by SIGKILL (Killed)")
      << "only the child's group was killed, and this process lives";
  const stats::ChildRun left = stats::RunRole("leaves-a-child-behind", pid_file, {});
  EXPECT_EQ(left.outcome, stats::ChildRun::ENDED);
  const pid_t grandchild = PidWrittenTo(pid_file);
  ASSERT_GT(grandchild, 0);
  const bool gone = GoneWithin(grandchild, std::chrono::seconds(1));
  EXPECT_TRUE(gone) << "the child's own child outlived the call";
  if (!gone) kill(grandchild, SIGKILL);
  unlink(pid_file.c_str());
}

}  // namespace
