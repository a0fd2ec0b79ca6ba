#include "stats/system/path_recorder.h"

#include <setjmp.h>
#include <signal.h>
#include <ucontext.h>

#include <array>
#include <cstdint>

// void StepThrough(const void* code, int32_t operand): calls the code with the operand in EAX and
// EBX and the trap flag set, so that every instruction from the call on ends in a SIGTRAP. It keeps
// every register the caller keeps, since the code may not.
extern "C" void StepThrough(const void* code, int32_t operand);
asm(R"(
    .text
    .p2align 4
    .type StepThrough, @function
StepThrough:
    .intel_syntax noprefix
    push rbx
    push rbp
    push r12
    push r13
    push r14
    push r15
    mov r11, rdi
    mov eax, esi
    mov ebx, esi
    pushfq
    or qword ptr [rsp], 0x100
    popfq
    call r11
    pushfq
    and qword ptr [rsp], -0x101
    popfq
    cld
    pop r15
    pop r14
    pop r13
    pop r12
    pop rbp
    pop rbx
    ret
    .att_syntax prefix
    .size StepThrough, . - StepThrough
)");

namespace stats {

namespace {

constexpr uint64_t TRAP_FLAG = 0x100;
constexpr int FAULTS[] = {SIGSEGV, SIGILL, SIGBUS, SIGFPE};

// What the handler sees and fills: a signal handler may neither allocate nor lock.
struct Recording {
  uintptr_t start = 0, end = 0;  // the code, and the RET after it at `end`
  bool entered = false, returned = false;
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
  auto* machine = static_cast<ucontext_t*>(context);
  const auto rip = static_cast<uintptr_t>(machine->uc_mcontext.gregs[REG_RIP]);
  // An INT3 in the code raises the same signal, as a breakpoint rather than a step.
  if (signal != SIGTRAP || info->si_code != TRAP_TRACE) Escape(RecordedPath::FAULTED, signal);
  if (rip >= recording.start && rip < recording.end) {
    recording.entered = true;
    if (recording.count == PATH_BOUND) Escape(RecordedPath::TOO_LONG, 0);
    recording.offsets[recording.count++] = static_cast<uint32_t>(rip - recording.start);
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
  }, old_trap{}, old_faults[std::size(FAULTS)];
  step.sa_sigaction = OnStep;
  step.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&step.sa_mask);
  sigaction(SIGTRAP, &step, &old_trap);
  for (size_t i = 0; i < std::size(FAULTS); ++i) sigaction(FAULTS[i], &step, &old_faults[i]);

  if (sigsetjmp(recording.escape, 1) == 0) StepThrough(code, operand);

  for (size_t i = 0; i < std::size(FAULTS); ++i) sigaction(FAULTS[i], &old_faults[i], nullptr);
  sigaction(SIGTRAP, &old_trap, nullptr);
  sigaltstack(&old_stack, nullptr);
  RecordedPath path;
  path.outcome = recording.outcome;
  path.signal = recording.signal;
  path.offsets.assign(recording.offsets.begin(), recording.offsets.begin() + recording.count);
  return path;
}

}  // namespace stats
