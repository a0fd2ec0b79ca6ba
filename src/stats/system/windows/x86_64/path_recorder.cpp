#include "stats/system/path_recorder.h"

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "stats/system/windows/child_start.h"
#include "stats/system/windows/handles.h"
#include "stats/system/x86_64/stepped_instruction.h"

// In step_through.S: calls `code` with the trap flag set, keeping every register the caller keeps;
// StepEscape returns from it at once, from wherever the thread is resumed there.
extern "C" void StepThrough(const void* code, int32_t operand);
extern "C" void StepEscape();

namespace stats {

namespace {

constexpr DWORD TRAP_FLAG = 0x100;
constexpr DWORD DIRECTION_FLAG = 0x400;
constexpr DWORD ALIGNMENT_CHECK = 0x40000;

// What the handler sees and fills: it runs between two instructions of the code, and allocates
// nothing.
struct Recording {
  uintptr_t start = 0, end = 0;  // the code, and the RET after it at `end`
  DWORD thread = 0;
  std::atomic<bool> active{false};
  bool entered = false, returned = false;
  bool turns_trap_off = false;           // the instruction stepped to pops the trap flag clear
  std::atomic<bool> untraced{false};     // the code runs on with the trap flag off
  std::atomic<bool> out_of_time{false};  // set by the watchdog
  RecordedPath::Outcome outcome = RecordedPath::UNTRACED;
  DWORD fault = 0;
  size_t count = 0;
  std::array<uint32_t, PATH_BOUND> offsets{};
  alignas(16) XMM_SAVE_AREA32 float_state;
};
Recording recording;

LONG Escape(CONTEXT* context, RecordedPath::Outcome outcome, DWORD fault) {
  recording.outcome = outcome;
  recording.fault = fault;
  context->Rip = reinterpret_cast<DWORD64>(&StepEscape);
  context->EFlags &= ~(TRAP_FLAG | DIRECTION_FLAG | ALIGNMENT_CHECK);
  // Wine takes MXCSR back from either copy, depending on its path back to the thread.
  context->FltSave = recording.float_state;
  context->MxCsr = recording.float_state.MxCsr;
  context->ContextFlags |= CONTEXT_CONTROL | CONTEXT_FLOATING_POINT;
  return EXCEPTION_CONTINUE_EXECUTION;
}

// Whether the POPF or IRET about to run at `at` pops the trap flag clear. Read without trusting
// the stack pointer the code left: it may point anywhere.
bool TurnsTrapOff(const uint8_t* at, const CONTEXT& context) {
  const SteppedInstruction instruction =
      ReadPrefixes(at, reinterpret_cast<const uint8_t*>(recording.end));
  if (instruction.opcode == reinterpret_cast<const uint8_t*>(recording.end)) return false;
  DWORD64 flags_at = context.Rsp;
  if (*instruction.opcode == 0xCF) {  // IRET: the flags after the return address and CS
    flags_at += instruction.wide_operand ? 16 : instruction.short_operand ? 4 : 8;
  } else if (*instruction.opcode != 0x9D) {
    return false;
  }
  uint16_t flags = TRAP_FLAG;
  SIZE_T read = 0;
  ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(flags_at), &flags,
                    sizeof flags, &read);
  return read == sizeof flags && (flags & TRAP_FLAG) == 0;
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* exception) {
  if (!recording.active || GetCurrentThreadId() != recording.thread) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  // The alignment-check flag the code may have set holds in here too.
  asm volatile("pushfq\n andq $-0x40001, (%%rsp)\n popfq" ::: "memory", "cc");
  CONTEXT* context = exception->ContextRecord;
  const DWORD code = exception->ExceptionRecord->ExceptionCode;
  if (code != EXCEPTION_SINGLE_STEP) return Escape(context, RecordedPath::FAULTED, code);
  if (recording.out_of_time) return Escape(context, RecordedPath::TIMED_OUT, 0);
  recording.untraced = false;
  const auto rip = static_cast<uintptr_t>(context->Rip);
  // Windows hands the context over with the trap flag cleared: set again for the next step.
  bool trace_on = !recording.turns_trap_off;
  recording.turns_trap_off = false;
  if (rip >= recording.start && rip < recording.end) {
    recording.entered = true;
    const auto offset = static_cast<uint32_t>(rip - recording.start);
    const auto* at = reinterpret_cast<const uint8_t*>(rip);
    const bool another_round =
        recording.count > 0 && recording.offsets[recording.count - 1] == offset &&
        IsRepeatedString(at, reinterpret_cast<const uint8_t*>(recording.end));
    if (!another_round) {
      if (recording.count == PATH_BOUND) return Escape(context, RecordedPath::TOO_LONG, 0);
      recording.offsets[recording.count++] = offset;
      recording.turns_trap_off = trace_on && TurnsTrapOff(at, *context);
    }
  } else if (rip == recording.end) {
    recording.returned = true;
  } else if (recording.returned) {
    recording.outcome = RecordedPath::RETURNED;
    trace_on = false;
  } else if (recording.entered) {
    return Escape(context, RecordedPath::LEFT, 0);
  }
  if (trace_on) {
    context->EFlags |= TRAP_FLAG;
  } else {
    context->EFlags &= ~TRAP_FLAG;
    recording.untraced = recording.outcome != RecordedPath::RETURNED;
  }
  return EXCEPTION_CONTINUE_EXECUTION;
}

// Processor time the thread has had, in 100 ns units.
ULONGLONG ProcessorTime(HANDLE thread) {
  FILETIME created, ended, kernel, user;
  if (!GetThreadTimes(thread, &created, &ended, &kernel, &user)) return 0;
  const auto units = [](FILETIME time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return units(kernel) + units(user);
}

// Holds the recording thread to PATH_TIME_LIMIT_MS of processor time. While it is traced, its
// handler ends the run at the next step; code that turned the trap off is made to trap again,
// but only while it runs in its own bytes, never inside the system's exception dispatch.
class Watchdog {
 public:
  // Without one, the parent's limit on the recording's wall time still ends it. No handle is
  // used unless it was made: the sandbox makes an invalid one raise an exception.
  Watchdog() {
    HANDLE self = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0,
                         FALSE, DUPLICATE_SAME_ACCESS)) {
      return;
    }
    recorded_.reset(self);
    limit_ = ProcessorTime(self) + PATH_TIME_LIMIT_MS * 10000ULL;
    stop_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (stop_) watcher_.reset(CreateThread(nullptr, 64 * 1024, &Watchdog::Watch, this, 0, nullptr));
  }
  ~Watchdog() {
    if (!watcher_) return;
    SetEvent(stop_.get());
    WaitForSingleObject(watcher_.get(), INFINITE);
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  static DWORD WINAPI Watch(void* self) {
    static_cast<Watchdog*>(self)->Run();
    return 0;
  }
  void Run() {
    while (WaitForSingleObject(stop_.get(), 10) == WAIT_TIMEOUT) {
      if (ProcessorTime(recorded_.get()) < limit_) continue;
      recording.out_of_time = true;
      if (recording.untraced && SuspendThread(recorded_.get()) != static_cast<DWORD>(-1)) {
        CONTEXT context{};
        context.ContextFlags = CONTEXT_CONTROL;
        // Only once the context is read has the thread surely stopped.
        if (GetThreadContext(recorded_.get(), &context) && recording.untraced &&
            context.Rip >= recording.start && context.Rip <= recording.end) {
          context.EFlags |= TRAP_FLAG;
          SetThreadContext(recorded_.get(), &context);
        }
        ResumeThread(recorded_.get());
      }
    }
  }

  OwnedHandle recorded_, stop_, watcher_;
  ULONGLONG limit_ = 0;
};

}  // namespace

RecordedPath RecordPath(const uint8_t* code, size_t length, int32_t operand) {
  recording.start = reinterpret_cast<uintptr_t>(code);
  recording.end = recording.start + length;
  recording.thread = GetCurrentThreadId();
  recording.entered = recording.returned = recording.turns_trap_off = false;
  recording.untraced = recording.out_of_time = false;
  recording.outcome = RecordedPath::UNTRACED;
  recording.fault = 0;
  recording.count = 0;
  asm volatile("fxsave64 %0" : "=m"(recording.float_state));

  // First of all handlers, so that no other sees the steps or the code's faults.
  PVOID handler = AddVectoredExceptionHandler(1, OnException);
  {
    Watchdog watchdog;
    recording.active = true;
    StepThrough(code, operand);
    recording.active = false;
  }
  RemoveVectoredExceptionHandler(handler);
  asm volatile("fxrstor64 %0" : : "m"(recording.float_state));

  RecordedPath path;
  path.outcome = recording.outcome;
  path.fault = recording.fault;
  path.offsets.assign(recording.offsets.begin(), recording.offsets.begin() + recording.count);
  return path;
}

std::string DescribeFault(uint32_t fault) {
  const std::string named = EndingOfExitCode(fault).fault;
  if (!named.empty()) return named;
  char words[32];
  snprintf(words, sizeof words, "exception 0x%08lX", static_cast<unsigned long>(fault));
  return words;
}

}  // namespace stats
