#include "stats/system/path_recorder.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/time.h>
#include <ucontext.h>

#include <array>
#include <cstdint>

// In step_through.S: calls `code` with the trap flag set, keeping every register the caller keeps.
extern "C" void StepThrough(const void* code, int32_t operand);

#include "stats/system/linux/child_start.h"
#include "stats/system/x86_64/stepped_instruction.h"

namespace stats {

namespace {

constexpr uint64_t TRAP_FLAG = 0x100;
constexpr int FAULTS[] = {SIGSEGV, SIGILL, SIGBUS, SIGFPE};

// What the handler sees and fills: a signal handler may neither allocate nor lock.
struct Recording {
  uintptr_t start = 0, end = 0;  // the code, and the RET after it at `end`
  bool entered = false, returned = false;
  volatile sig_atomic_t timing = 0;  // the profiling timer's signal ends the run
  RecordedPath::Outcome outcome = RecordedPath::UNTRACED;
  int signal = 0;
  size_t count = 0;
  std::array<uint32_t, PATH_BOUND> offsets{};
  sigjmp_buf escape;
};
Recording recording;

// A stack of its own, so that code that moves the stack pointer still has its faults reported.
alignas(16) std::array<char, 64 * 1024> handler_stack;

[[noreturn]] void Escape(RecordedPath::Outcome outcome, int signal) {
  recording.outcome = outcome;
  recording.signal = signal;
  siglongjmp(recording.escape, 1);
}

void OnStep(int signal, siginfo_t* info, void* context) {
  // The alignment-check flag the code may have set holds in here too, and an unaligned access of
  // this handler's would end the process; past the red zone, which the compiler may be using.
  asm volatile("subq $128, %%rsp\n pushfq\n andq $-0x40001, (%%rsp)\n popfq\n addq $128, %%rsp" ::
                   : "memory", "cc");
  if (signal == SIGPROF) {
    if (recording.timing) Escape(RecordedPath::TIMED_OUT, 0);
    return;
  }
  auto* machine = static_cast<ucontext_t*>(context);
  const auto rip = static_cast<uintptr_t>(machine->uc_mcontext.gregs[REG_RIP]);
  // An INT3 in the code raises the same signal, as a breakpoint rather than a step.
  if (signal != SIGTRAP || info->si_code != TRAP_TRACE) Escape(RecordedPath::FAULTED, signal);
  if (rip >= recording.start && rip < recording.end) {
    recording.entered = true;
    const auto offset = static_cast<uint32_t>(rip - recording.start);
    if (recording.count > 0 && recording.offsets[recording.count - 1] == offset &&
        IsRepeatedString(reinterpret_cast<const uint8_t*>(rip),
                         reinterpret_cast<const uint8_t*>(recording.end))) {
      return;
    }
    if (recording.count == PATH_BOUND) Escape(RecordedPath::TOO_LONG, 0);
    recording.offsets[recording.count++] = offset;
  } else if (rip == recording.end) {
    recording.returned = true;
  } else if (recording.returned) {
    recording.outcome = RecordedPath::RETURNED;
    machine->uc_mcontext.gregs[REG_EFL] &= ~static_cast<greg_t>(TRAP_FLAG);
  } else if (recording.entered) {
    Escape(RecordedPath::LEFT, 0);
  }
}

}  // namespace

RecordedPath RecordPath(const uint8_t* code, size_t length, int32_t operand) {
  recording.start = reinterpret_cast<uintptr_t>(code);
  recording.end = recording.start + length;
  recording.entered = recording.returned = false;
  recording.outcome = RecordedPath::UNTRACED;
  recording.signal = 0;
  recording.count = 0;

  stack_t own_stack{}, old_stack{};
  own_stack.ss_sp = handler_stack.data();
  own_stack.ss_size = handler_stack.size();
  sigaltstack(&own_stack, &old_stack);
  struct sigaction step {
  }, old_trap{}, old_profile{}, old_faults[std::size(FAULTS)];
  step.sa_sigaction = OnStep;
  step.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&step.sa_mask);
  sigaddset(&step.sa_mask, SIGPROF);
  sigaction(SIGTRAP, &step, &old_trap);
  sigaction(SIGPROF, &step, &old_profile);
  for (size_t i = 0; i < std::size(FAULTS); ++i) sigaction(FAULTS[i], &step, &old_faults[i]);
  alignas(16) std::array<uint8_t, 512> float_state;
  asm volatile("fxsave64 %0" : "=m"(float_state));
  // Processor time, so that a loaded host does not cut a path short; a run with the trap turned
  // off is ended by it too.
  const itimerval limit = {{0, 0}, {PATH_TIME_LIMIT_MS / 1000, PATH_TIME_LIMIT_MS % 1000 * 1000}};
  const itimerval off = {};
  recording.timing = 1;
  setitimer(ITIMER_PROF, &limit, nullptr);

  if (sigsetjmp(recording.escape, 1) == 0) {
    StepThrough(code, operand);
    recording.timing = 0;
  }

  recording.timing = 0;
  setitimer(ITIMER_PROF, &off, nullptr);
  asm volatile("fxrstor64 %0" : : "m"(float_state));
  for (size_t i = 0; i < std::size(FAULTS); ++i) sigaction(FAULTS[i], &old_faults[i], nullptr);
  sigaction(SIGPROF, &old_profile, nullptr);
  sigaction(SIGTRAP, &old_trap, nullptr);
  sigaltstack(&old_stack, nullptr);
  RecordedPath path;
  path.outcome = recording.outcome;
  path.fault = static_cast<uint32_t>(recording.signal);
  path.offsets.assign(recording.offsets.begin(), recording.offsets.begin() + recording.count);
  return path;
}

std::string DescribeFault(uint32_t fault) { return DescribeSignal(static_cast<int>(fault)); }

}  // namespace stats
