#include "stats/system/fault_address.h"

#include <signal.h>
#include <ucontext.h>

namespace stats {

namespace {

// SIGFPE is the floating-point fault's, and a trap's address is past its instruction.
constexpr int RECORDED_FAULTS[] = {SIGSEGV, SIGILL, SIGBUS};

int64_t* fault_address_slot = nullptr;

void RecordAndFaultAgain(int, siginfo_t*, void* context) {
  const greg_t at = static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP];
  __atomic_store_n(&fault_address_slot[0], static_cast<int64_t>(at), __ATOMIC_RELEASE);
  __atomic_store_n(&fault_address_slot[1], 1, __ATOMIC_RELEASE);
  // Returning faults again, now at the default action the handler was reset to.
}

}  // namespace

void RecordFaultAddressIn(int64_t* slot) {
  fault_address_slot = slot;
  struct sigaction on_fault = {};
  on_fault.sa_sigaction = RecordAndFaultAgain;
  // On the sandbox's own stack, once there is one: the kernel may have moved RSP anywhere.
  on_fault.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_ONSTACK;
  for (const int fault : RECORDED_FAULTS) sigaction(fault, &on_fault, nullptr);
}

}  // namespace stats
