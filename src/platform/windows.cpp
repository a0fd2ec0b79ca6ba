// The platform layer on Windows (32-bit and 64-bit): the system's own calls, nothing else.
#include <conio.h>
#include <windows.h>

#include "platform/platform.h"

namespace {

// _kbhit and _getch read the console, not standard input. Without a console on standard input
// (redirected from a file or NUL, started by a script or a service) no key can ever arrive.
bool InputIsConsole() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

}  // namespace

uint32_t PlatformTickCount() { return GetTickCount(); }

void PlatformRaisePriority() { SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS); }

void PlatformNormalPriority() { SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS); }

void PlatformPause(uint32_t milliseconds) { SleepEx(milliseconds, FALSE); }

void PlatformSleep(uint32_t milliseconds) { Sleep(milliseconds); }

uint32_t PlatformWriteOutput(const char* bytes, uint32_t length) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, length, &written, nullptr);
  return written;
}

void PlatformBeginKeyWait() { FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE)); }

bool PlatformKeyWaiting() { return !InputIsConsole() || _kbhit() != 0; }

void PlatformTakeKey() {
  if (InputIsConsole()) _getch();
}

void PlatformExitProcess(uint32_t exit_code) { ExitProcess(exit_code); }

// The image's entry point is ProgramEntry itself (see the link options): no C or C++ run-time
// start-up runs first. msvcrt.dll needs none for _kbhit and _getch: it initialises itself when
// the loader attaches it, before any entry point runs, and opens the console input on first use.
