// The child runner when the system fails it; poll is linked through a wrapper that can fail.
#include "stats/benchmark_runner.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <cerrno>
#include <cstring>

namespace {
bool poll_fails = false;
}

extern "C" int __real_poll(pollfd* descriptors, nfds_t count, int timeout_ms);
extern "C" int __wrap_poll(pollfd* descriptors, nfds_t count, int timeout_ms) {
  if (poll_fails) {
    errno = ENOMEM;
    return -1;
  }
  return __real_poll(descriptors, count, timeout_ms);
}

namespace {

TEST(CaptureOneRun, GivesUpWithTheReasonWhenItCannotWaitForTheOutput) {
  poll_fails = true;
  const stats::CapturedRun run = stats::CaptureOneRun("/bin/cat", [] {});
  poll_fails = false;
  EXPECT_EQ(run.outcome, stats::CapturedRun::FAILED);
  EXPECT_NE(run.failure.find(std::strerror(ENOMEM)), std::string::npos) << run.failure;
}

}  // namespace
