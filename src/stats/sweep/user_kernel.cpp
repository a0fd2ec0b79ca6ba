#include "stats/sweep/user_kernel.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "stats/child_process.h"
#include "stats/format.h"
#include "stats/pass.h"
#include "stats/sweep/assembler.h"
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
  RAX,
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

// The child's own exit statuses when it cannot place the code; any other is the kernel's doing.
constexpr int CANNOT_MAP = 120, CANNOT_MAKE_EXECUTABLE = 121;

// Calls `code`, placed `at` bytes into a fresh page, once per operand and reports the records.
void CallAndReport(const std::vector<uint8_t>& code, size_t at, int report) {
  CodeArena arena(at + code.size());
  if (!arena.ok()) _exit(CANNOT_MAP);
  std::memset(arena.writable(), 0xCC, arena.size());
  std::memcpy(arena.writable() + at, code.data(), code.size());
  if (!arena.MakeExecutable()) _exit(CANNOT_MAKE_EXECUTABLE);
  uint64_t records[2][RECORD_SIZE] = {};
  for (int i = 0; i < 2; ++i) CheckedKernelCall(arena.bytes() + at, PASS_OPERANDS[i], records[i]);
  (void)!write(report, records, sizeof records);
}

// In the child: the kernel called as the loop calls it, then its body run as an inline copy runs,
// straight into a RET and elsewhere in memory, as copies are. A fault in the second leaves the
// first one's records reported.
[[noreturn]] void CallInChild(const Procedure& kernel, int report) {
  CallAndReport(kernel.bytes, 0, report);
  std::vector<uint8_t> inline_copy = BodyOf(kernel);
  inline_copy.push_back(0xC3);  // ret
  CallAndReport(inline_copy, 1024 + 2, report);
  _exit(0);
}

std::string NameOk(const std::string& name, const std::vector<std::string>& taken) {
  const bool name_ok =
      !name.empty() && name.size() <= 16 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_';
      });
  if (!name_ok)
    return "kernel name " + Quoted(name, '\'') + ": use 1 to 16 letters, digits or underscores";
  if (std::find(taken.begin(), taken.end(), name) != taken.end()) {
    return "kernel name " + Quoted(name, '\'') +
           " is already taken; every kernel needs its own name";
  }
  return "";
}

std::string HexBytes(const std::string& name, const std::string& hex, std::vector<uint8_t>& bytes) {
  if (!std::all_of(hex.begin(), hex.end(), [](char c) { return HexDigit(c) >= 0; })) {
    return "kernel " + name + ": " + Quoted(hex, '\'') + " is not hexadecimal bytes";
  }
  if (hex.size() % 2 != 0) return "kernel " + name + ": an odd number of hex digits";
  for (size_t i = 0; i < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1])));
  }
  return "";
}

// The text on one line, for the table: newlines become "; ".
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) line += c == '\n' ? std::string("; ") : std::string(1, c);
  return line;
}

// "faults (signal 4, Illegal instruction)"
std::string Faults(int status) {
  return "faults (signal " + std::to_string(WTERMSIG(status)) + ", " + strsignal(WTERMSIG(status)) +
         ")";
}

// Why an inline copy cannot stand for the called kernel, or empty.
std::string InlineRefusal(const ChildRun& child, const uint64_t (&called)[2][RECORD_SIZE],
                          const uint64_t (&inline_copy)[2][RECORD_SIZE], bool complete) {
  if (child.outcome == ChildRun::TIMED_OUT) return "its inline copy does not return within 1 s";
  if (WIFSIGNALED(child.status)) {
    return "its inline copy " + Faults(child.status);
  }
  if (!complete) return "its inline copy could not be checked";
  for (int i = 0; i < 2; ++i) {
    const auto got = static_cast<uint32_t>(inline_copy[i][RAX]);
    const auto expected = static_cast<uint32_t>(called[i][RAX]);
    if (got != expected) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "its inline copy leaves 0x%X in EAX for the operand %d, the called kernel 0x%X",
                    got, PASS_OPERANDS[i], expected);
      return text;
    }
  }
  return "";
}

}  // namespace

std::variant<Procedure, std::string> ParseUserKernel(const UserKernelArgument& given,
                                                     const std::vector<std::string>& taken) {
  const std::string& argument = given.argument;
  const size_t equals = argument.find('=');
  if (equals == std::string::npos) {
    return std::string(given.assembly ? "--kernel-asm needs NAME=INSTRUCTIONS"
                                      : "--kernel needs NAME=HEX") +
           ", not " + Quoted(argument, '\'');
  }
  const std::string name = argument.substr(0, equals), text = argument.substr(equals + 1);
  if (const std::string problem = NameOk(name, taken); !problem.empty()) return problem;
  Procedure kernel{name, name, {}, -1, ResultRegister::EAX, "", ""};
  if (given.assembly) {
    Assembled assembled = AssembleIntelSyntax(name, text);
    if (!assembled.problem.empty()) return "kernel " + name + ": " + assembled.problem;
    kernel.bytes = std::move(assembled.bytes);
    kernel.words = name + " (" + OneLine(text) + ")";
    kernel.assembly = text;
  } else if (const std::string problem = HexBytes(name, text, kernel.bytes); !problem.empty()) {
    return problem;
  }
  if (kernel.bytes.size() > MAX_USER_KERNEL_BYTES) {
    return "kernel " + name + ": " + std::to_string(kernel.bytes.size()) + " bytes; at most " +
           std::to_string(MAX_USER_KERNEL_BYTES) + " before the trailer";
  }
  // The empty procedure is the common trailer alone, as linked.
  const std::vector<uint8_t> trailer = EmptyProcedureCopy().bytes;
  kernel.bytes.insert(kernel.bytes.end(), trailer.begin(), trailer.end());
  return kernel;
}

std::string CheckUserKernel(Procedure& kernel) {
  ChildLimits limits;
  limits.time_limit_ms = CHECK_LIMIT_MS;
  const ChildRun child = RunChild([&](int report) { CallInChild(kernel, report); }, limits);
  uint64_t records[2][RECORD_SIZE] = {}, inline_records[2][RECORD_SIZE] = {};
  const bool called = child.report.size() >= sizeof records;
  if (called) std::memcpy(records, child.report.data(), sizeof records);
  if (!called) {
    if (child.outcome == ChildRun::TIMED_OUT) return "it does not return within 1 s";
    if (child.outcome != ChildRun::ENDED) return "cannot check it: " + child.failure;
    if (WIFSIGNALED(child.status)) {
      return "it " + Faults(child.status);
    }
    const int status = WEXITSTATUS(child.status);
    if (status == CANNOT_MAP || status == CANNOT_MAKE_EXECUTABLE) {
      return "it could not be placed in executable memory to be checked";
    }
    return "it ends the process it runs in (exit status " + std::to_string(status) + ")";
  }
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
  const bool complete = child.report.size() == 2 * sizeof records;
  if (complete) std::memcpy(inline_records, child.report.data() + sizeof records, sizeof records);
  kernel.inline_refusal = InlineRefusal(child, records, inline_records, complete);
  return "";
}

}  // namespace stats
