#include "stats/system/float_fault.h"

#include <signal.h>
#include <ucontext.h>

namespace stats {

namespace {

FloatFaultHandler float_fault_handler = nullptr;

void OnFault(int, siginfo_t*, void* context) {
  const auto* state = static_cast<ucontext_t*>(context)->uc_mcontext.fpregs;
  // Returning faults again, now at the default action the handler was reset to.
  float_fault_handler(state->mxcsr & ~0x3Fu, state->cwd);
}

}  // namespace

void OnFloatingPointFault(FloatFaultHandler handler) {
  float_fault_handler = handler;
  struct sigaction on_fault = {};
  on_fault.sa_sigaction = OnFault;
  // On the sandbox's own stack, once there is one: the kernel may have moved RSP anywhere.
  on_fault.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_ONSTACK;
  sigaction(SIGFPE, &on_fault, nullptr);
}

}  // namespace stats
