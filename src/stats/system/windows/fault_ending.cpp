#include "stats/system/windows/fault_ending.h"

#include <windows.h>

#include "stats/system/fault_address.h"

namespace stats {

namespace {

int64_t* fault_address_slot = nullptr;

// Stored before the process ends, for the parent to say where the fault was.
void EndWithCode(const EXCEPTION_RECORD& record) {
  if (fault_address_slot != nullptr) {
    __atomic_store_n(&fault_address_slot[0], reinterpret_cast<intptr_t>(record.ExceptionAddress),
                     __ATOMIC_RELEASE);
    __atomic_store_n(&fault_address_slot[1], 1, __ATOMIC_RELEASE);
  }
  TerminateProcess(GetCurrentProcess(), record.ExceptionCode);
}

// The processor's own faults and traps; software exceptions (a C++ throw, a debug print) are
// left to whoever raised them.
bool IsHardwareFault(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_BREAKPOINT:
    case EXCEPTION_SINGLE_STEP:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case STATUS_FLOAT_MULTIPLE_FAULTS:
    case STATUS_FLOAT_MULTIPLE_TRAPS:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_IN_PAGE_ERROR:
      return true;
    default:
      return false;
  }
}

// Placed code lives in memory of its own, never in a loaded image. Asked of the memory itself
// rather than of the loader, whose lock the faulting thread may hold.
bool OutsideEveryImage(const void* address) {
  MEMORY_BASIC_INFORMATION region = {};
  return VirtualQuery(address, &region, sizeof region) == 0 || region.Type != MEM_IMAGE;
}

// Vectored handlers run before any frame's: a fault in an image (a system DLL probing memory under
// its own handler) is left to the frames, and what none of them handles to EndUnhandled.
LONG CALLBACK EndOnFault(EXCEPTION_POINTERS* exception) {
  const DWORD code = exception->ExceptionRecord->ExceptionCode;
  if (IsHardwareFault(code) && OutsideEveryImage(exception->ExceptionRecord->ExceptionAddress))
    EndWithCode(*exception->ExceptionRecord);
  return EXCEPTION_CONTINUE_SEARCH;
}

// Whatever no frame handled ends here rather than in a debugger's wait.
LONG WINAPI EndUnhandled(EXCEPTION_POINTERS* exception) {
  EndWithCode(*exception->ExceptionRecord);
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void EndAtOnceOnFaults() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  // Last in line among the vectored handlers, and the filter for what unwinds past every frame.
  AddVectoredExceptionHandler(0, EndOnFault);
  SetUnhandledExceptionFilter(EndUnhandled);
}

void RecordFaultAddressIn(int64_t* slot) { fault_address_slot = slot; }

}  // namespace stats
