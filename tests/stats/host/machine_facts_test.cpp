// What absbench-stats says about the machine: read from the system's own words and answers.
#include "stats/host/machine_facts.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "stats/system/machine.h"
#include "tests/stats/system/system_call_wrappers.h"

namespace {

// Clears one capability from this process's effective and permitted sets.
bool DropCapability(int capability) {
  __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  const uint32_t bit = 1u << (capability % 32);
  data[capability / 32].effective &= ~bit;
  data[capability / 32].permitted &= ~bit;
  return syscall(SYS_capset, &header, data) == 0;
}

TEST(PriorityRaiseGranted, IsRefusedToRootWithoutCapSysNiceAndGrantedWithIt) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to take CAP_SYS_NICE away from root";
  EXPECT_TRUE(stats::PriorityRaiseGranted());
  const pid_t child = fork();
  if (child == 0) {
    if (!DropCapability(CAP_SYS_NICE)) _exit(2);
    _exit(stats::PriorityRaiseGranted() ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 2) << "could not drop CAP_SYS_NICE";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "root without CAP_SYS_NICE was said to be allowed";
}

}  // namespace

namespace {

TEST(CurrentCpu, FallsBackToTheFirstAllowedProcessorWhenTheSystemCannotSay) {
  cpu_set_t allowed;
  ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
  int first = 0;
  while (!CPU_ISSET(first, &allowed)) ++first;
  wrapped::sched_getcpu_fails = true;
  const int cpu = stats::CurrentCpu();
  wrapped::sched_getcpu_fails = false;
  EXPECT_EQ(cpu, first);
}

}  // namespace
