#include "bench/bench.h"
#include "console/text_area.h"
#include "platform/platform.h"
#include "shell/shell.h"

namespace {
constexpr uint32_t EXIT_REPORT_LOST = 1;
}

// A report that could not be written is not a success; a reader that stopped reading early is.
void ProgramEntry() {
  RunBenchmark();
  WriteText(PROMPT_TEXT);
  WaitForKey();
  WriteText(LINE_END_TEXT);
  PlatformExitProcess(PlatformReportLostOutput() ? EXIT_REPORT_LOST : 0);
}

// Keys pressed during the run are dropped first, so only a key pressed after the prompt counts.
void WaitForKey() {
  PlatformBeginKeyWait();
  do {
    PlatformSleep(1);
  } while (!PlatformKeyWaiting());
  PlatformTakeKey();
}
