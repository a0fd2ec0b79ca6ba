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

// The error of the first write of the report that failed, other than the reader having gone.
DWORD lost_output_error = 0;

void WriteToStandardError(const char* text, DWORD length) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, length, &written, nullptr);
}

// The error's number in decimal, for an error the system has no text for.
DWORD FormatErrorNumber(DWORD error, char* text) {
  char digits[16];
  DWORD count = 0;
  do {
    digits[count++] = static_cast<char>('0' + error % 10);
    error /= 10;
  } while (error != 0);
  const char prefix[] = "system error ";
  DWORD length = sizeof prefix - 1;
  for (DWORD i = 0; i < length; ++i) text[i] = prefix[i];
  while (count > 0) text[length++] = digits[--count];
  return length;
}

}  // namespace

uint32_t PlatformTickCount() { return GetTickCount(); }

void PlatformRaisePriority() { SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS); }

void PlatformNormalPriority() { SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS); }

void PlatformPause(uint32_t milliseconds) { SleepEx(milliseconds, FALSE); }

void PlatformSleep(uint32_t milliseconds) { Sleep(milliseconds); }

uint32_t PlatformWriteOutput(const char* bytes, uint32_t length) {
  DWORD written = 0;
  if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, length, &written, nullptr)) {
    const DWORD error = GetLastError();
    // The reader closed the pipe, which it may: ERROR_NO_DATA and ERROR_BROKEN_PIPE on Windows,
    // ERROR_PIPE_NOT_CONNECTED under Wine.
    const bool reader_gone =
        error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED;
    if (!reader_gone && lost_output_error == 0) {
      lost_output_error = error;
    }
  }
  return written;
}

bool PlatformReportLostOutput() {
  if (lost_output_error == 0) return false;
  char reason[512];
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
      nullptr, lost_output_error, 0, reason, sizeof reason, nullptr);
  while (length > 0 &&
         (reason[length - 1] == ' ' || reason[length - 1] == '\r' || reason[length - 1] == '\n')) {
    --length;
  }
  if (length == 0) length = FormatErrorNumber(lost_output_error, reason);
  const char prefix[] = "absbench: the report could not be written: ";
  WriteToStandardError(prefix, sizeof prefix - 1);
  WriteToStandardError(reason, length);
  WriteToStandardError("\r\n", 2);
  return true;
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
