#include "stats/sweep/isolation/fp_guard.h"

#include <x86intrin.h>

#include <cstddef>

#include "stats/system/float_fault.h"
#include "stats/system/processes.h"

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

// What the fault handler needs: set once, before any kernel runs.
ReportChannel guard_report;
uint32_t mxcsr_at_start = 0;
uint16_t x87_at_start = 0;

// "state it changed MXCSR from 1F80 to 0000\n" on the report, and the end of the process; nothing
// when neither changed. Safe in a signal handler: no allocation, no formatted printing.
void ExitOnChange(uint32_t mxcsr_now, uint16_t x87_now) {
  const bool mxcsr_changed = mxcsr_now != mxcsr_at_start;
  if (!mxcsr_changed && x87_now == x87_at_start) return;
  char text[80];
  char* at = text;
  AppendText(at, mxcsr_changed ? "state it changed MXCSR from "
                               : "state it changed the x87 control word from ");
  AppendHex(at, mxcsr_changed ? mxcsr_at_start : x87_at_start);
  AppendText(at, " to ");
  AppendHex(at, mxcsr_changed ? mxcsr_now : x87_now);
  *at++ = '\n';
  ReportBytes(guard_report, text, static_cast<size_t>(at - text));
  ExitAtOnce(STATE_CHANGED);
}

}  // namespace

void GuardFloatControl(ReportChannel report) {
  guard_report = report;
  mxcsr_at_start = MxcsrControl();
  x87_at_start = X87ControlWord();
  OnFloatingPointFault(ExitOnChange);
}

void CheckFloatControl() { ExitOnChange(MxcsrControl(), X87ControlWord()); }

void EndForBrokenChunk(const std::string& what) {
  const std::string line = "state " + what + "\n";
  ReportBytes(guard_report, line.data(), line.size());
  ExitAtOnce(STATE_CHANGED);
}

}  // namespace stats
