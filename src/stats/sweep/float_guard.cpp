#include "stats/sweep/float_guard.h"

#include <signal.h>
#include <ucontext.h>
#include <unistd.h>
#include <x86intrin.h>

#include <cstddef>
#include <cstdint>

namespace stats {

namespace {

uint16_t X87ControlWord() {
  uint16_t word;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
}

// MXCSR without its sticky exception flags, which any inexact division sets.
uint32_t MxcsrControl() { return _mm_getcsr() & ~0x3Fu; }

void AppendText(char*& at, const char* text) {
  while (*text != '\0') *at++ = *text++;
}

void AppendHex(char*& at, uint32_t value) {
  for (int shift = 12; shift >= 0; shift -= 4) *at++ = "0123456789ABCDEF"[(value >> shift) & 15];
}

// "state it changed MXCSR from 1F80 to 0000\n" into `text`, its length returned, or 0 when neither
// changed. Safe in a signal handler: no allocation, no formatted printing.
size_t DescribeChange(char (&text)[80], uint32_t mxcsr_before, uint32_t mxcsr_now,
                      uint16_t x87_before, uint16_t x87_now) {
  const bool mxcsr_changed = mxcsr_now != mxcsr_before;
  if (!mxcsr_changed && x87_now == x87_before) return 0;
  char* at = text;
  AppendText(at, mxcsr_changed ? "state it changed MXCSR from "
                               : "state it changed the x87 control word from ");
  AppendHex(at, mxcsr_changed ? mxcsr_before : x87_before);
  AppendText(at, " to ");
  AppendHex(at, mxcsr_changed ? mxcsr_now : x87_now);
  *at++ = '\n';
  return static_cast<size_t>(at - text);
}

// Set once, before any kernel runs.
int fault_report = -1;
uint32_t mxcsr_at_start = 0;
uint16_t x87_at_start = 0;

void ReportAndEnd(const char* text, size_t length) {
  (void)!write(fault_report, text, length);
  _exit(FLOAT_STATE_EXIT);
}

// A kernel that unmasks floating-point exceptions is caught at the next division of the code
// around it; the interrupted context still holds the control state it left. The handler is reset
// as it is entered, so that a fault of another cause happens again on return and ends the process.
void OnFloatingPointFault(int, siginfo_t*, void* context) {
  const auto* state = static_cast<ucontext_t*>(context)->uc_mcontext.fpregs;
  char text[80];
  const size_t length =
      DescribeChange(text, mxcsr_at_start, state->mxcsr & ~0x3Fu, x87_at_start, state->cwd);
  if (length != 0) ReportAndEnd(text, length);
}

}  // namespace

void GuardFloatingPoint(int report) {
  mxcsr_at_start = MxcsrControl();
  x87_at_start = X87ControlWord();
  fault_report = report;
  struct sigaction on_fault = {};
  on_fault.sa_sigaction = OnFloatingPointFault;
  on_fault.sa_flags = SA_SIGINFO | SA_RESETHAND;
  sigemptyset(&on_fault.sa_mask);
  sigaction(SIGFPE, &on_fault, nullptr);
}

void CheckFloatingPoint() {
  char text[80];
  const size_t length =
      DescribeChange(text, mxcsr_at_start, MxcsrControl(), x87_at_start, X87ControlWord());
  if (length != 0) ReportAndEnd(text, length);
}

}  // namespace stats
