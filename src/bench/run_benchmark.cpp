#include "bench/bench.h"
#include "console/text_area.h"
#include "platform/platform.h"

uint32_t baseline_ms;

void WriteSectionHeader(const char* rule, const char* title) {
  WriteText(rule);
  WriteText(LINE_END_TEXT);
  WriteText(title);
  WriteText(LINE_END_TEXT);
  WriteText(rule);
  WriteText(LINE_END_TEXT);
}

void RunBenchmark() {
  PlatformRaisePriority();
  WarmUp();
  WriteSectionHeader(BASELINE_RULE_TEXT, BASELINE_TITLE_TEXT);
  baseline_ms = TimeKernel_EmptyProcedure(0);
  FormatSigned(static_cast<int32_t>(baseline_ms), baseline_number_text);
  WriteText(baseline_number_text);
  WriteText(EMPTY_PROCEDURE_LABEL);
  PlatformPause(PAUSE_MS);
  RunPasses();
  PlatformNormalPriority();
}
