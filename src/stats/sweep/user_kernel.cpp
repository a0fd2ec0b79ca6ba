#include "stats/user_kernel.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern "C" void CheckedKernelCall(const void* kernel, int32_t operand, uint64_t* record);

namespace stats {

namespace {

constexpr int32_t OPERANDS[2] = {1, -1};
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
[[noreturn]] void CallInChild(const SweepKernel& kernel, int report) {
  CodeArena arena(kernel.bytes.size());
  if (!arena.ok()) _exit(3);
  std::memset(arena.writable(), 0xCC, arena.size());
  std::memcpy(arena.writable(), kernel.bytes.data(), kernel.bytes.size());
  if (!arena.MakeExecutable()) _exit(4);
  uint64_t records[2][RECORD_SIZE] = {};
  for (int i = 0; i < 2; ++i) CheckedKernelCall(arena.bytes(), OPERANDS[i], records[i]);
  (void)!write(report, records, sizeof records);
  _exit(0);
}

uint64_t NowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

}  // namespace

std::variant<SweepKernel, std::string> ParseUserKernel(const std::string& argument,
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
  SweepKernel kernel{name, name, {}};
  for (size_t i = 0; i < hex.size(); i += 2) {
    kernel.bytes.push_back(static_cast<uint8_t>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1])));
  }
  // The empty procedure is the common trailer alone, as linked.
  const std::vector<uint8_t> trailer = EmptyProcedureKernel().bytes;
  kernel.bytes.insert(kernel.bytes.end(), trailer.begin(), trailer.end());
  return kernel;
}

std::string CheckUserKernel(const SweepKernel& kernel) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return std::string("cannot check it: ") + std::strerror(errno);
  const pid_t child = fork();
  if (child < 0) return std::string("cannot check it: ") + std::strerror(errno);
  if (child == 0) {
    close(report[0]);
    CallInChild(kernel, report[1]);
  }
  close(report[1]);
  uint64_t records[2][RECORD_SIZE] = {};
  size_t got = 0;
  const uint64_t deadline = NowMs() + CHECK_LIMIT_MS;
  bool hung = false;
  while (got < sizeof records) {
    const uint64_t now = NowMs();
    if (now >= deadline) {
      hung = true;
      break;
    }
    pollfd readable = {report[0], POLLIN, 0};
    if (poll(&readable, 1, static_cast<int>(deadline - now)) <= 0) continue;
    const ssize_t count =
        read(report[0], reinterpret_cast<char*>(records) + got, sizeof records - got);
    if (count <= 0) break;
    got += static_cast<size_t>(count);
  }
  close(report[0]);
  if (hung) kill(child, SIGKILL);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (hung) return "it does not return within 1 s";
  if (WIFSIGNALED(status)) {
    return "it faults (signal " + std::to_string(WTERMSIG(status)) + ", " +
           strsignal(WTERMSIG(status)) + ")";
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || got != sizeof records) {
    return "it could not be placed in executable memory to be checked";
  }
  for (int i = 0; i < 2; ++i) {
    const std::string operand = " (operand " + std::to_string(OPERANDS[i]) + ")";
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
