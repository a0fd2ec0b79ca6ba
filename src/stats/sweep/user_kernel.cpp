#include "stats/sweep/user_kernel.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "stats/child_process.h"
#include "stats/pass.h"
#include "stats/sweep/code_arena.h"

extern "C" void CheckedKernelCall(const void* kernel, int32_t operand, uint64_t* record);

namespace stats {

namespace {

constexpr int CHECK_LIMIT_MS = 1000;

// What CheckedKernelCall records, and the sentinels it loads before the call.
enum RecordSlot {
  RBX,
  RSI,
  RDI,
  RBP,
  R12,
  R13,
  R14,
  R15,
  FLAGS,
  RSP_AFTER,
  RSP_BEFORE,
  RECORD_SIZE
};
constexpr int KEPT_COUNT = R15 + 1;
constexpr uint64_t SENTINELS[KEPT_COUNT] = {
    0x5E0700035E070003, 0x5E0700045E070004, 0x5E0700055E070005, 0x5E0700065E070006,
    0x5E0700075E070007, 0x5E0700085E070008, 0x5E0700095E070009, 0x5E07000A5E07000A};
constexpr const char* KEPT_NAMES[KEPT_COUNT] = {"RBX", "RSI", "RDI", "RBP",
                                                "R12", "R13", "R14", "R15"};
constexpr uint64_t DIRECTION_FLAG = 0x400;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// In the child: place the kernel alone on a fresh page and call it once per operand.
[[noreturn]] void CallInChild(const Procedure& kernel, int report) {
  CodeArena arena(kernel.bytes.size());
  if (!arena.ok()) _exit(3);
  std::memset(arena.writable(), 0xCC, arena.size());
  std::memcpy(arena.writable(), kernel.bytes.data(), kernel.bytes.size());
  if (!arena.MakeExecutable()) _exit(4);
  uint64_t records[2][RECORD_SIZE] = {};
  for (int i = 0; i < 2; ++i) CheckedKernelCall(arena.bytes(), PASS_OPERANDS[i], records[i]);
  (void)!write(report, records, sizeof records);
  _exit(0);
}

}  // namespace

std::variant<Procedure, std::string> ParseUserKernel(const std::string& argument,
                                                     const std::vector<std::string>& taken) {
  const size_t equals = argument.find('=');
  if (equals == std::string::npos) return "--kernel needs NAME=HEX, not '" + argument + "'";
  const std::string name = argument.substr(0, equals), hex = argument.substr(equals + 1);
  const bool name_ok =
      !name.empty() && name.size() <= 16 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_';
      });
  if (!name_ok) {
    return "kernel name '" + name + "': use 1 to 16 letters, digits or underscores";
  }
  if (std::find(taken.begin(), taken.end(), name) != taken.end()) {
    return "kernel name '" + name + "' is already taken; every kernel needs its own name";
  }
  if (!std::all_of(hex.begin(), hex.end(), [](char c) { return HexDigit(c) >= 0; })) {
    return "kernel " + name + ": '" + hex + "' is not hexadecimal bytes";
  }
  if (hex.size() % 2 != 0) return "kernel " + name + ": an odd number of hex digits";
  if (hex.size() / 2 > MAX_USER_KERNEL_BYTES) {
    return "kernel " + name + ": " + std::to_string(hex.size() / 2) + " bytes; at most " +
           std::to_string(MAX_USER_KERNEL_BYTES) + " before the trailer";
  }
  Procedure kernel{name, name, {}};
  for (size_t i = 0; i < hex.size(); i += 2) {
    kernel.bytes.push_back(static_cast<uint8_t>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1])));
  }
  // The empty procedure is the common trailer alone, as linked.
  const std::vector<uint8_t> trailer = EmptyProcedureCopy().bytes;
  kernel.bytes.insert(kernel.bytes.end(), trailer.begin(), trailer.end());
  return kernel;
}

std::string CheckUserKernel(const Procedure& kernel) {
  ChildLimits limits;
  limits.time_limit_ms = CHECK_LIMIT_MS;
  const ChildRun child = RunChild([&](int report) { CallInChild(kernel, report); }, limits);
  if (child.outcome == ChildRun::TIMED_OUT) return "it does not return within 1 s";
  if (child.outcome != ChildRun::ENDED) return "cannot check it: " + child.failure;
  if (WIFSIGNALED(child.status)) {
    return "it faults (signal " + std::to_string(WTERMSIG(child.status)) + ", " +
           strsignal(WTERMSIG(child.status)) + ")";
  }
  uint64_t records[2][RECORD_SIZE] = {};
  if (!WIFEXITED(child.status) || WEXITSTATUS(child.status) != 0 ||
      child.report.size() != sizeof records) {
    return "it could not be placed in executable memory to be checked";
  }
  std::memcpy(records, child.report.data(), sizeof records);
  for (int i = 0; i < 2; ++i) {
    const std::string operand = " (operand " + std::to_string(PASS_OPERANDS[i]) + ")";
    for (int slot = RBX; slot < KEPT_COUNT; ++slot) {
      if (records[i][slot] != SENTINELS[slot]) {
        return std::string("it changes ") + KEPT_NAMES[slot] + operand +
               "; a kernel keeps RBX, RSI, RDI, RBP, R12-R15 and the stack pointer";
      }
    }
    if (records[i][RSP_AFTER] != records[i][RSP_BEFORE]) {
      return "it returns with the stack pointer moved" + operand;
    }
    if ((records[i][FLAGS] & DIRECTION_FLAG) != 0) {
      return "it returns with the direction flag set" + operand + "; a kernel leaves it clear";
    }
  }
  return "";
}

}  // namespace stats
