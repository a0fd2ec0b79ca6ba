#include "stats/system/windows/linux_call_wall.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "stats/system/windows/wine.h"

// In linux_calls.S.
extern "C" int64_t LinuxSystemCall(int64_t number, int64_t a1, int64_t a2, int64_t a3, int64_t a4);
extern "C" void OnRefusedLinuxCall();

namespace stats {

namespace {

// Linux x86-64's numbers: system calls, flags, and the seccomp interface's filter words.
constexpr int64_t RT_SIGACTION = 13, PRCTL = 157, ARCH_PRCTL = 158, SECCOMP = 317;
constexpr int64_t ARCH_SET_GS = 0x1001, ARCH_GET_GS = 0x1004;
constexpr int64_t SIGSYS = 31, PR_SET_NO_NEW_PRIVS = 38, SECCOMP_SET_MODE_FILTER = 1;
constexpr int64_t SECCOMP_FILTER_FLAG_TSYNC = 1;
constexpr uint64_t SA_SIGINFO = 4, SA_RESTORER = 0x04000000, SA_ONSTACK = 0x08000000;
constexpr uint32_t RET_ALLOW = 0x7FFF0000, RET_TRAP = 0x00030000, RET_KILL_PROCESS = 0x80000000;
constexpr uint32_t AUDIT_ARCH_I386 = 0x40000003;
constexpr uint32_t ARCH = 4, IP_LOW = 8, IP_HIGH = 12;  // in seccomp_data, little-endian
constexpr uint16_t LD_W_ABS = 0x20, JEQ_K = 0x15, JGE_K = 0x35, JGT_K = 0x25, RET_K = 0x06;
constexpr size_t MOST_INSTRUCTIONS = 4096;

// An exit code no Windows status has (bit 28 is reserved in every status): the call's number in
// the low 16 bits, a bit for the IA-32 table that int 0x80 reaches, one for the x32 calls that set
// bit 30 of the number, and one for a number too large to say, which no table has.
constexpr uint32_t REFUSED_MARK = 0x5C000000, IA32_TABLE = 0x10000, X32_CALLS = 0x20000,
                   BEYOND_TABLES = 0x40000, X32_BIT = 0x40000000;

// A pointer as a system call's argument.
int64_t Address(const void* pointer) {
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(pointer));
}

struct SockFilter {
  uint16_t code;
  uint8_t jt, jf;
  uint32_t k;
};
struct SockFprog {
  uint16_t len;
  const SockFilter* filter;
};
struct KernelSigaction {
  void* handler;
  uint64_t flags;
  void* restorer;
  uint64_t mask;
};

// The first and last address a call from placed code comes back to: seccomp sees the address
// after the calling instruction, so one at the very end of a range is caught too, and one from the
// bytes just before a range (not placed code) is not.
std::mutex noted_lock;
std::vector<std::pair<uint64_t, uint64_t>> noted;

// Refuses every call into the IA-32 table, which 64-bit Wine never makes: for SYSCALL or SYSENTER
// from 32-bit code the kernel reports the vDSO's address, not the caller's. Then a call whose
// instruction pointer falls in any range, a syscall from the placed pages. BPF compares
// 32 bits, so each range is split at every 4 GiB line and matched by its high half, then its low.
std::vector<SockFilter> FilterFor(std::vector<std::pair<uint64_t, uint64_t>> ranges,
                                  uint32_t refusal) {
  std::sort(ranges.begin(), ranges.end());
  std::vector<std::pair<uint64_t, uint64_t>> merged;
  for (const auto& range : ranges) {
    if (!merged.empty() && range.first <= merged.back().second + 1)
      merged.back().second = std::max(merged.back().second, range.second);
    else
      merged.push_back(range);
  }
  std::vector<SockFilter> program = {
      {LD_W_ABS, 0, 0, ARCH}, {JEQ_K, 0, 1, AUDIT_ARCH_I386}, {RET_K, 0, 0, refusal}};
  for (auto [first, last] : merged) {
    for (;;) {
      const uint64_t high = first >> 32;
      const uint64_t end = std::min(last, high << 32 | 0xFFFFFFFF);
      // On any mismatch, on to the next piece, six instructions on.
      program.insert(program.end(), {{LD_W_ABS, 0, 0, IP_HIGH},
                                     {JEQ_K, 0, 4, static_cast<uint32_t>(high)},
                                     {LD_W_ABS, 0, 0, IP_LOW},
                                     {JGE_K, 0, 2, static_cast<uint32_t>(first)},
                                     {JGT_K, 1, 0, static_cast<uint32_t>(end)},
                                     {RET_K, 0, 0, refusal}});
      if (end == last) break;
      first = end + 1;
    }
  }
  program.push_back({RET_K, 0, 0, RET_ALLOW});
  return program;
}

// A refused call raises SIGSYS, handled by OnRefusedLinuxCall, so that the parent learns which
// call it was. Where something already handles SIGSYS (a Wine that emulates calls by it), the
// filter kills the process instead, and the parent sees only that it vanished.
uint32_t Refusal() {
  KernelSigaction before = {};
  if (LinuxSystemCall(RT_SIGACTION, SIGSYS, 0, Address(&before), 8) != 0 ||
      before.handler != nullptr)
    return RET_KILL_PROCESS;
  // The handler never returns, so the restorer the kernel insists on is never used.
  const KernelSigaction handler = {reinterpret_cast<void*>(OnRefusedLinuxCall),
                                   SA_SIGINFO | SA_RESTORER | SA_ONSTACK,
                                   reinterpret_cast<void*>(OnRefusedLinuxCall), 0};
  return LinuxSystemCall(RT_SIGACTION, SIGSYS, Address(&handler), 0, 8) == 0 ? RET_TRAP
                                                                             : RET_KILL_PROCESS;
}

// The GS base (its TEB) of the thread that put up the filter, the one that runs the placed code.
uint64_t filter_gs_base = 0;

}  // namespace

// Called by OnRefusedLinuxCall on the signal stack, which spares it the kernel's stack pointer;
// ending the process needs this thread's Windows state (its TEB), which a kernel that moved the GS
// base has wrecked too, so the base is put back first, or the child would die unnamed.
extern "C" void EndForLinuxCall(uint32_t number, uint32_t arch) {
  uint64_t gs_base = 0;
  if (filter_gs_base != 0 &&
      (LinuxSystemCall(ARCH_PRCTL, ARCH_GET_GS, Address(&gs_base), 0, 0) != 0 ||
       gs_base != filter_gs_base))
    LinuxSystemCall(ARCH_PRCTL, ARCH_SET_GS, static_cast<int64_t>(filter_gs_base), 0, 0);
  uint32_t table = arch == AUDIT_ARCH_I386 ? IA32_TABLE : 0;
  if (table == 0 && (number & X32_BIT) != 0) {
    table = X32_CALLS;
    number &= ~X32_BIT;
  }
  if (number > 0xFFFF) {
    table |= BEYOND_TABLES;
    number = 0;
  }
  TerminateProcess(GetCurrentProcess(), REFUSED_MARK | table | number);
}

void NotePlacedCode(const void* start, size_t bytes) {
  const auto first = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(start));
  const std::lock_guard<std::mutex> lock(noted_lock);
  noted.emplace_back(first + 1, first + bytes);
}

void ForgetPlacedCode(const void* start) {
  const auto first = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(start));
  const std::lock_guard<std::mutex> lock(noted_lock);
  noted.erase(std::remove_if(noted.begin(), noted.end(),
                             [first](const auto& range) { return range.first == first + 1; }),
              noted.end());
}

std::string RefuseLinuxCallsFromPlacedCode() {
  // Elsewhere the numbers below mean other calls, or none.
  if (!WineOnLinux()) return "";
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  {
    const std::lock_guard<std::mutex> lock(noted_lock);
    ranges = noted;
  }
  const std::vector<SockFilter> program = FilterFor(ranges, Refusal());
  if (program.size() > MOST_INSTRUCTIONS)
    return "the placed code lies in too many pieces for a filter of Linux system calls";
  // Linux takes a filter only from a thread that can gain no privileges. It is put on every thread
  // of the process, Wine's own too, so that placed code reached from any of them is bound.
  if (const int64_t error = LinuxSystemCall(PRCTL, PR_SET_NO_NEW_PRIVS, 1, 0, 0); error != 0)
    return "Linux refuses to deny this process new privileges (error " + std::to_string(-error) +
           ")";
  if (LinuxSystemCall(ARCH_PRCTL, ARCH_GET_GS, Address(&filter_gs_base), 0, 0) != 0)
    filter_gs_base = 0;
  const SockFprog fprog = {static_cast<uint16_t>(program.size()), program.data()};
  const int64_t error = LinuxSystemCall(SECCOMP, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_TSYNC,
                                        Address(&fprog), 0);
  if (error > 0)
    return "Linux cannot put the filter of its system calls on thread " + std::to_string(error) +
           " of this process";
  if (error != 0) {
    return "Linux refuses the filter of its system calls from placed code (error " +
           std::to_string(-error) + ")";
  }
  return "";
}

std::string RefusedLinuxCall(int exit_code) {
  const auto code = static_cast<uint32_t>(exit_code);
  if ((code & ~(IA32_TABLE | X32_CALLS | BEYOND_TABLES | 0xFFFF)) != REFUSED_MARK) return "";
  const std::string table = (code & IA32_TABLE) != 0  ? "IA-32"
                            : (code & X32_CALLS) != 0 ? "x32"
                                                      : "x86-64";
  if ((code & BEYOND_TABLES) != 0) return "numbered beyond all of Linux's " + table + " calls";
  return "number " + std::to_string(code & 0xFFFF) + " of Linux's " + table + " calls";
}

}  // namespace stats
