// The child the Windows memory tests start: it runs off either end of a guarded stack, opens the
// shared page whose handle it is given, as a role child does, or says where it was started from.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "stats/system/guarded_pages.h"
#include "stats/system/shared_page.h"

namespace {

// A fault ends the child with its code at once, never through a debugger.
LONG WINAPI EndWithTheFault(EXCEPTION_POINTERS* fault) {
  TerminateProcess(GetCurrentProcess(), fault->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string role = argc > 1 ? argv[1] : "";
  SetErrorMode(SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(EndWithTheFault);
  if (role == "past-the-end" || role == "before-the-start") {
    const stats::GuardedPages stack(4096);
    if (!stack.ok()) return 5;
    volatile uint8_t* edge = role == "past-the-end" ? stack.end() : stack.end() - 4096 - 1;
    *edge = 1;
    return 0;
  }
  if (role == "shared-page" && argc > 2) {
    const stats::SharedPage page(
        static_cast<stats::SharedPage::Handle>(_strtoi64(argv[2], nullptr, 10)), 4096);
    if (page.bytes() == nullptr) return 6;
    char* bytes = static_cast<char*>(page.bytes());
    if (std::strcmp(bytes, "from the parent") != 0) return 7;
    std::strcpy(bytes, "from the child");
    return 0;
  }
  if (role == "where") {
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), self, length, &written, nullptr);
    return 0;
  }
  return 9;
}
