#include "bench/bench.h"
#include "console/text_area.h"
#include "platform/platform.h"
#include "shell/shell.h"

void ProgramEntry() {
  RunBenchmark();
  WriteText(PROMPT_TEXT);
  WaitForKey();
  WriteText(LINE_END_TEXT);
  PlatformExitProcess(0);
}

// Keys pressed during the run are dropped first, so only a key pressed after the prompt counts.
void WaitForKey() {
  PlatformBeginKeyWait();
  do {
    PlatformSleep(1);
  } while (!PlatformKeyWaiting());
  PlatformTakeKey();
}
