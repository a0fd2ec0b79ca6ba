#include "stats/system/float_fault.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

namespace stats {

namespace {

FloatFaultHandler float_fault_handler = nullptr;

// The x87's and SSE's exceptions (Wine raises an SSE fault as an x87 invalid operation), and the
// integer division's, which Linux raises as the same signal.
constexpr DWORD ARITHMETIC_FAULTS[] = {0xC000008D,
                                       0xC000008E,
                                       0xC000008F,
                                       0xC0000090,
                                       0xC0000091,
                                       0xC0000092,
                                       0xC0000093,
                                       0xC00002B4,
                                       0xC00002B5,
                                       EXCEPTION_INT_DIVIDE_BY_ZERO,
                                       EXCEPTION_INT_OVERFLOW};

LONG CALLBACK OnFault(EXCEPTION_POINTERS* exception) {
  const DWORD code = exception->ExceptionRecord->ExceptionCode;
  if (std::find(std::begin(ARITHMETIC_FAULTS), std::end(ARITHMETIC_FAULTS), code) ==
      std::end(ARITHMETIC_FAULTS)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  const CONTEXT& context = *exception->ContextRecord;
  float_fault_handler(context.FltSave.MxCsr & ~0x3Fu, context.FltSave.ControlWord);
  // What the default action would do, without a debugger or an error dialog in the way.
  TerminateProcess(GetCurrentProcess(), code);
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void OnFloatingPointFault(FloatFaultHandler handler) {
  float_fault_handler = handler;
  static const PVOID registered = AddVectoredExceptionHandler(1, OnFault);
  static_cast<void>(registered);
}

}  // namespace stats
