#include "bench/bench.h"
#include "console/text_area.h"
#include "kernels/kernel_table.h"
#include "platform/platform.h"

// The positive pass (operand 1) lets the branchy kernels skip their NEG; the negative pass (-1)
// makes them take it.
void RunPasses() {
  WriteSectionHeader(PASS_RULE_TEXT, POSITIVE_PASS_TITLE);
  int32_t operand = 1;
  for (;;) {
    for (const KernelSlot& slot : KernelTable) {
      const uint32_t elapsed_ms = slot.time_kernel(operand);
      FormatSigned(static_cast<int32_t>(elapsed_ms - baseline_ms), slot.number_text);
      WriteText(slot.number_text);
      WriteText(slot.label);
      PlatformPause(PAUSE_MS);
    }
    if (operand < 0) return;
    operand = -1;
    WriteSectionHeader(PASS_RULE_TEXT, NEGATIVE_PASS_TITLE);
  }
}
