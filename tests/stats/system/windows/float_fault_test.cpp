// The floating-point fault handler on Windows: it sees the control state the faulting code left,
// and the process then ends with the fault's own exception code.
#include "stats/system/float_fault.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <x86intrin.h>

#include <cstdio>
#include <string>

namespace {

void SayControlState(uint32_t mxcsr, uint16_t x87_control) {
  fprintf(stderr, "MXCSR %04X x87 %04X\n", mxcsr, x87_control);
  fflush(stderr);
}

// Without the handler, an unhandled fault would wait on a debugger under Wine.
LONG WINAPI EndUnhandled(EXCEPTION_POINTERS*) {
  TerminateProcess(GetCurrentProcess(), 1);
  return EXCEPTION_CONTINUE_SEARCH;
}

void Guard() {
  SetUnhandledExceptionFilter(EndUnhandled);
  stats::OnFloatingPointFault(SayControlState);
}

uint16_t X87ControlAtStart() {
  uint16_t word;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
}

bool EndedByFloatingPointException(int status) {
  const auto code = static_cast<uint32_t>(status);
  return (code >= 0xC000008D && code <= 0xC0000093) || code == 0xC00002B4 || code == 0xC00002B5;
}

void DividesZeroBySseZeroWithInvalidUnmasked() {
  Guard();
  _mm_setcsr(0x1F00);
  volatile float zero = 0;
  volatile float result = zero / zero;
  static_cast<void>(result);
}

void DividesZeroByX87ZeroWithEveryExceptionUnmasked() {
  Guard();
  const uint16_t unmasked = 0x0340;
  asm volatile("fldcw %0\n fldz\n fdiv %%st(0), %%st(0)\n fstp %%st(0)\n fwait" ::"m"(unmasked));
}

void DividesAnIntegerByZero() {
  Guard();
  asm volatile("xor %%ecx, %%ecx\n mov $1, %%eax\n cdq\n idiv %%ecx" ::: "eax", "ecx", "edx");
}

TEST(FloatFaultOnWindowsDeathTest, GivesTheUnmaskedStateWithoutStickyFlagsThenEndsWithTheCode) {
  char x87_at_start[8];
  snprintf(x87_at_start, sizeof x87_at_start, "%04X", X87ControlAtStart());
  EXPECT_EXIT(DividesZeroBySseZeroWithInvalidUnmasked(), EndedByFloatingPointException,
              std::string("MXCSR 1F00 x87 ") + x87_at_start);
  EXPECT_EXIT(DividesZeroByX87ZeroWithEveryExceptionUnmasked(), EndedByFloatingPointException,
              "MXCSR 1F80 x87 0340");
  EXPECT_EXIT(DividesAnIntegerByZero(), testing::ExitedWithCode(static_cast<int>(0xC0000094)),
              std::string("MXCSR 1F80 x87 ") + x87_at_start);
}

}  // namespace
