#include "stats/system/sandbox.h"

#include <malloc.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include "stats/system/linux/closed_in.h"

namespace stats {

namespace {

int refused_report = -1;
// The handlers that name what a kernel did run here: it may have pointed RSP at anything.
alignas(16) std::array<char, 64 * 1024> sandbox_signal_stack;

// The address sanitizer's run-time maps its shadow and reports faults with calls of its own, at
// moments no list can foresee: under it the room stays open (address space and system calls), and
// the programs as shipped, built without it, are the ones the filter is tested on.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool UNDER_ADDRESS_SANITIZER = true;
#else
constexpr bool UNDER_ADDRESS_SANITIZER = false;
#endif

// Safe in a signal handler: the call's number in decimal, then the known exit.
void OnRefusedCall(int, siginfo_t* info, void*) {
  char text[32] = "system call ";
  size_t at = std::strlen(text);
  char digits[12];
  size_t count = 0;
  unsigned number = static_cast<unsigned>(info->si_syscall);
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0 && count < sizeof digits);
  while (count > 0) text[at++] = digits[--count];
  text[at++] = '\n';
  (void)!write(refused_report, text, at);
  _exit(SANDBOX_EXIT);
}

// The bytes of address space this process holds now.
size_t AddressSpace() {
  size_t pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  return pages * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

using Filter = std::unique_ptr<void, void (*)(scmp_filter_ctx)>;

// Zero, or the negative errno of the first rule the library refused.
int AddRules(scmp_filter_ctx filter, const SandboxRules& rules) {
  int failed = 0;
  auto allow = [&](int call, unsigned count = 0, scmp_arg_cmp arg = {}) {
    const int added = count == 0 ? seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0)
                                 : seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 1, arg);
    if (failed == 0) failed = added;
  };
  // The report, the end, and the return from the floating-point fault handler.
  allow(SCMP_SYS(write), 1, SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(rules.report.handle())));
  allow(SCMP_SYS(exit_group));
  allow(SCMP_SYS(rt_sigreturn));
  // The monotonic clock, when the system serves it by a call rather than from the shared page.
  allow(SCMP_SYS(clock_gettime));
  if (rules.steps_through) {
    // The path recorder's trap handler, its stack, the mask its escape restores, and the timer
    // that ends a copy which runs too long.
    allow(SCMP_SYS(rt_sigaction));
    allow(SCMP_SYS(sigaltstack));
    allow(SCMP_SYS(rt_sigprocmask));
    allow(SCMP_SYS(setitimer));
  }
  return failed;
}

// The allocator takes everything from the main heap, grown here once and never trimmed, so that
// no allocation or release after the filter needs a call. Zero, or the errno of the failure.
int ReserveHeap(size_t bytes) {
  if (mallopt(M_ARENA_MAX, 1) == 0 || mallopt(M_MMAP_MAX, 0) == 0 ||
      mallopt(M_TRIM_THRESHOLD, -1) == 0) {
    return EINVAL;
  }
  void* reserve = std::malloc(bytes);
  if (reserve == nullptr) return ENOMEM;
  std::free(reserve);
  return 0;
}

}  // namespace

std::string EnterSandbox(const SandboxRules& rules) {
  refused_report = static_cast<int>(rules.report.handle());
  struct sigaction on_refused = {};
  on_refused.sa_sigaction = OnRefusedCall;
  on_refused.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&on_refused.sa_mask);
  stack_t own_stack = {};
  own_stack.ss_sp = sandbox_signal_stack.data();
  own_stack.ss_size = sandbox_signal_stack.size();
  const rlimit nothing = {0, 0};
  if (sigaltstack(&own_stack, nullptr) != 0 || sigaction(SIGSYS, &on_refused, nullptr) != 0 ||
      prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || setrlimit(RLIMIT_CORE, &nothing) != 0 ||
      setrlimit(RLIMIT_FSIZE, &nothing) != 0) {
    return std::strerror(errno);
  }
  if (UNDER_ADDRESS_SANITIZER) return "";
  if (const int failed = ReserveHeap(rules.heap_bytes); failed != 0) {
    return "cannot reserve " + std::to_string(rules.heap_bytes >> 20) +
           " MiB of heap: " + std::strerror(failed);
  }
  const size_t space = AddressSpace() + rules.address_room;
  const rlimit address = {space, space};
  if (setrlimit(RLIMIT_AS, &address) != 0) return std::strerror(errno);
  const Filter filter(seccomp_init(SCMP_ACT_TRAP), seccomp_release);
  if (!filter) return "cannot make a system-call filter";
  if (const int failed = AddRules(filter.get(), rules); failed != 0) return std::strerror(-failed);
  if (const int loaded = seccomp_load(filter.get()); loaded != 0) {
    return "the system refuses the system-call filter: " + std::string(std::strerror(-loaded));
  }
  MarkClosedIn();
  return "";
}

std::string RefusedSystemCall(const ChildRun& child) {
  const std::string& report = child.report;
  const std::string mark = "system call ";
  const size_t at = report.rfind(mark);
  if (child.outcome != ChildRun::ENDED || child.ending.exit_code != SANDBOX_EXIT ||
      at == std::string::npos || report.back() != '\n') {
    return "";
  }
  const std::string digits = report.substr(at + mark.size(), report.size() - 1 - at - mark.size());
  if (digits.empty() || digits.size() > 9 ||
      digits.find_first_not_of("0123456789") != std::string::npos) {
    return "";
  }
  const int number = std::stoi(digits);
  const std::unique_ptr<char, void (*)(void*)> name(
      seccomp_syscall_resolve_num_arch(SCMP_ARCH_NATIVE, number), std::free);
  return (name ? std::string(name.get()) : "number") + " (" + digits + ")";
}

}  // namespace stats
