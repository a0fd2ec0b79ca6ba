#include <errno.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

#include "stats/system/linux/child_groups.h"
#include "stats/system/stop_requests.h"

namespace stats {

namespace {

// A slot per child running at once; children run one at a time, a few while one is blamed.
struct GroupSlot {
  std::atomic<pid_t> leader{0};
  std::atomic<int64_t*> stopped_ns{nullptr};
  std::atomic<int64_t> stopped_before{0};  // this process's StoppedNs when it was remembered
};
GroupSlot groups[16];
std::atomic<int64_t> stopped_total{0};
static_assert(std::atomic<int64_t>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free,
              "read in a signal handler");
// The process whose handlers these are: a child between its fork and exec only stops.
std::atomic<pid_t> owner{0};

void SignalEachGroup(int signal_number) {
  for (GroupSlot& slot : groups) {
    const pid_t leader = slot.leader.load();
    if (leader == 0) continue;
    if (signal_number == SIGCONT) {
      if (int64_t* const word = slot.stopped_ns.load()) {
        __atomic_store_n(word, stopped_total.load() - slot.stopped_before.load(), __ATOMIC_RELEASE);
      }
    }
    kill(-leader, signal_number);
    kill(leader, signal_number);  // in case it left its group
  }
}

// Only calls a signal handler may make. The signal's own action stops this process here, until
// SIGCONT; the handler is put back after.
void StopWithChildren(int signal_number) {
  const int saved_errno = errno;
  const bool owned = getpid() == owner.load();
  const int64_t stopped_at = MonotonicNs();
  if (owned) SignalEachGroup(SIGSTOP);
  struct sigaction stop = {}, ours = {};
  stop.sa_handler = SIG_DFL;
  sigaction(signal_number, &stop, &ours);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal_number);
  raise(signal_number);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  sigaction(signal_number, &ours, nullptr);
  if (owned) {
    stopped_total.fetch_add(MonotonicNs() - stopped_at);
    SignalEachGroup(SIGCONT);
  }
  errno = saved_errno;
}

}  // namespace

void InstallJobStopHandlers() {
  owner = getpid();
  struct sigaction action = {};
  action.sa_handler = StopWithChildren;
  // One stop at a time: a second one nested in the first would count the time stopped twice.
  sigemptyset(&action.sa_mask);
  for (const int stop : JOB_STOP_SIGNALS) sigaddset(&action.sa_mask, stop);
  action.sa_flags = SA_RESTART;
  for (const int stop : JOB_STOP_SIGNALS) {
    struct sigaction before = {};
    sigaction(stop, nullptr, &before);
    // Ignored when this program started (as nohup or a parent may leave them): so they stay.
    if (before.sa_handler == SIG_IGN) continue;
    sigaction(stop, &action, nullptr);
  }
}

void RememberChildGroup(pid_t leader, int64_t* stopped_ns) {
  for (GroupSlot& slot : groups) {
    if (slot.leader.load() != 0) continue;
    slot.stopped_ns = stopped_ns;
    slot.stopped_before = stopped_total.load();
    slot.leader = leader;
    return;
  }
}

void ForgetChildGroup(pid_t leader) {
  for (GroupSlot& slot : groups) {
    if (slot.leader.load() == leader) slot.leader = 0;
  }
}

int64_t MonotonicNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t StoppedNs() { return stopped_total.load(); }

double StoppedSeconds() { return static_cast<double>(StoppedNs()) / 1e9; }

double RunningSeconds() { return static_cast<double>(MonotonicNs() - StoppedNs()) / 1e9; }

}  // namespace stats
