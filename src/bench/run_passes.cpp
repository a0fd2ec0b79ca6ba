#include "bench/bench.h"
#include "console/text_area.h"
#include "platform/platform.h"

#define TIMED_LOOP_ROW(name, label, result) TimeKernel_##name,
TimedLoop* const TimedLoops[KERNEL_COUNT] = {KERNEL_LIST(TIMED_LOOP_ROW)};

char kernel_number_texts[KERNEL_COUNT][NUMBER_TEXT_SIZE];

// The positive pass (operand 1) lets the branchy kernels skip their NEG; the negative pass (-1)
// makes them take it.
void RunPasses() {
  WriteSectionHeader(PASS_RULE_TEXT, POSITIVE_PASS_TITLE);
  int32_t operand = 1;
  for (;;) {
    for (int row = 0; row < KERNEL_COUNT; ++row) {
      const uint32_t elapsed_ms = TimedLoops[row](operand);
      FormatSigned(static_cast<int32_t>(elapsed_ms - baseline_ms), kernel_number_texts[row]);
      WriteText(kernel_number_texts[row]);
      WriteText(KernelTable[row].label);
      PlatformPause(PAUSE_MS);
    }
    if (operand < 0) return;
    operand = -1;
    WriteSectionHeader(PASS_RULE_TEXT, NEGATIVE_PASS_TITLE);
  }
}
