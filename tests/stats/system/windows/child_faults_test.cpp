// How a role child ends on a fault: at once, with the exception's code, whatever debugger the
// system names; on a Linux system call its placed code makes under Wine; and what it must not end
// on.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "stats/system/child_roles.h"
#include "stats/system/code_arena.h"
#include "stats/system/fault_address.h"
#include "stats/system/sandbox.h"
#include "stats/system/windows/wine.h"
#include "tests/stats/test_roles.h"

namespace {

// Runs `fault`'s bytes from memory of its own, as the sweep places code: outside every image,
// after `lead` and with their address stored at `placed_at` when given.
void RunPlaced(const std::string& fault, const std::string& lead = "",
               int64_t* placed_at = nullptr) {
  const std::string bytes = fault == "store to 0" ? std::string("\xC7\x04\x25\0\0\0\0\1\0\0\0", 11)
                            : fault == "ud2"      ? "\x0F\x0B"
                            : fault == "int3"     ? "\xCC"
                                                  : "";
  void* code = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  DWORD was = 0;
  if (code == nullptr || bytes.empty()) return;
  const std::string placed = lead + bytes + "\xC3";
  std::memcpy(code, placed.data(), placed.size());
  if (placed_at != nullptr) *placed_at = reinterpret_cast<intptr_t>(code);
  if (VirtualProtect(code, 4096, PAGE_EXECUTE_READ, &was)) reinterpret_cast<void (*)()>(code)();
}

// mov eax, NUMBER; syscall; ret: getpid, in the x86-64 table, the x32 one (bit 30 set), or
// numbered past every table. From 32-bit code the SYSCALL reaches the IA-32 table, and Linux tells
// the filter the vDSO's address instead of the placed code's.
std::string LinuxCallBytes(const std::string& call) {
  if (call == "x32") return std::string("\xB8\x27\0\0\x40\x0F\x05\xC3", 8);
  if (call == "beyond") return std::string("\xB8\x27\0\x01\0\x0F\x05\xC3", 8);
  // lea rbx, [rip + 24]; lea rax, [rip + 17]; sub rsp, 16; mov [rsp], eax;
  // mov word ptr [rsp + 4], 0x23; jmp fword ptr [rsp]; then as 32-bit code:
  // mov esp, ebx; mov eax, 20 (getpid); syscall; hlt
  if (call == "from 32-bit code") {
    return std::string(
        "\x48\x8D\x1D\x18\0\0\0\x48\x8D\x05\x11\0\0\0\x48\x83\xEC\x10\x89\x04\x24\x66\xC7\x44"
        "\x24\x04\x23\0\xFF\x2C\x24\x89\xDC\xB8\x14\0\0\0\x0F\x05\xF4",
        41);
  }
  return std::string("\xB8\x27\0\0\0\x0F\x05\xC3", 8);
}

[[noreturn]] void ReportFaultless(const stats::RoleContext& context, const std::string& bytes) {
  stats::ExitAtOnce(stats::ReportAll(context.report, bytes) ? 0 : 1);
}

const bool FAULT_ROLES_ADDED =
    testing_roles::Add("faults",
                       [](const std::string& input, const stats::RoleContext&) {
                         if (input.rfind("placed ", 0) == 0) RunPlaced(input.substr(7));
                         if (input == "store to 0") {
                           volatile int* volatile nowhere = nullptr;
                           *nowhere = 1;
                         }
                         if (input == "ud2") __builtin_trap();
                         if (input == "int3") DebugBreak();
                         stats::ExitAtOnce(0);
                       }) &&
    // Exceptions no processor raised go to whoever handles them, as in any program, and so do
    // faults the system's own code raises and catches itself.
    testing_roles::Add("raises-and-catches",
                       [](const std::string&, const stats::RoleContext& context) {
                         OutputDebugStringA("a debug print\n");
                         if (!IsBadReadPtr(reinterpret_cast<const void*>(16), 4))
                           ReportFaultless(context, "address 16 is readable");
                         std::string caught;
                         try {
                           throw std::runtime_error("thrown");
                         } catch (const std::exception& error) {
                           caught = error.what();
                         }
                         ReportFaultless(context, caught);
                       }) &&
    // A Linux system call from placed code, once closed in; the report, written before, goes
    // through Wine's own calls, which the filter lets by.
    testing_roles::Add("calls-linux",
                       [](const std::string& input, const stats::RoleContext& context) {
                         const std::string bytes = LinuxCallBytes(input);
                         stats::CodeArena arena(bytes.size());
                         if (!arena.ok()) stats::ExitAtOnce(1);
                         if (reinterpret_cast<uintptr_t>(arena.bytes()) >> 32 != 0)
                           ReportFaultless(context, "above 4 GiB");  // out of 32-bit code's reach
                         std::memcpy(arena.writable(), bytes.data(), bytes.size());
                         if (!arena.MakeExecutable() || !stats::EnterSandbox({}).empty())
                           stats::ExitAtOnce(1);
                         if (!stats::ReportAll(context.report, "closed in")) stats::ExitAtOnce(1);
                         reinterpret_cast<void (*)()>(reinterpret_cast<uintptr_t>(arena.bytes()))();
                         ReportFaultless(context, ", then called Linux");
                       }) &&
    // The fault's address in the page it shares, beside where its code was placed.
    testing_roles::Add("fault-address",
                       [](const std::string& input, const stats::RoleContext& context) {
                         stats::SharedPage page(context.shared_page, 3 * sizeof(int64_t));
                         auto* words = static_cast<int64_t*>(page.bytes());
                         if (words == nullptr) stats::ExitAtOnce(2);
                         stats::RecordFaultAddressIn(&words[0]);
                         RunPlaced(input, "\x90\x90\x90", &words[2]);
                         stats::ExitAtOnce(0);
                       });

TEST(ChildRoleOnWindows, EndsAtOnceWithTheExceptionsCodeOnAFaultWithoutADebugger) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  const struct {
    std::string fault, ending;
  } faults[] = {
      {"store to 0", "was ended by exception 0xC0000005 (access violation)"},
      {"ud2", "was ended by exception 0xC000001D (illegal instruction)"},
      {"int3", "was ended by exception 0x80000003 (breakpoint)"},
  };
  // In this program's image, where no frame handles it, and in code placed as the sweep does.
  for (const std::string where : {"", "placed "}) {
    for (const auto& [fault, ending] : faults) {
      stats::ChildLimits limits;
      limits.time_limit_ms = 20000;
      const auto start = std::chrono::steady_clock::now();
      const stats::ChildRun run = stats::RunRole("faults", where + fault, limits);
      EXPECT_EQ(run.outcome, stats::ChildRun::ENDED) << where << fault << ": " << run.failure;
      EXPECT_EQ(run.ending.words, ending) << where << fault;
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10))
          << where << fault << ": something waited on it";
    }
  }
  const stats::ChildRun caught = stats::RunRole("raises-and-catches", "", {});
  EXPECT_TRUE(stats::Succeeded(caught)) << caught.ending.words;
  EXPECT_EQ(caught.report, "thrown");
}

TEST(ChildRoleOnWindows,
     EndsOnALinuxSystemCallFromPlacedCodeUnderWineEvenFrom32BitCodeAndSaysWhichCall) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  if (!stats::WineOnLinux()) GTEST_SKIP() << "no Linux beneath to call";
  const stats::ChildRun run = stats::RunRole("calls-linux", "", {});
  ASSERT_EQ(run.outcome, stats::ChildRun::ENDED) << run.failure;
  EXPECT_EQ(run.report, "closed in");
  EXPECT_EQ(stats::RefusedSystemCall(run), "number 39 of Linux's x86-64 calls") << run.ending.words;
  EXPECT_EQ(run.ending.words, "was ended for the system call number 39 of Linux's x86-64 calls");
  for (const auto& [call, words] : {std::pair{"x32", "number 39 of Linux's x32 calls"},
                                    {"beyond", "numbered beyond all of Linux's x86-64 calls"}}) {
    const stats::ChildRun other = stats::RunRole("calls-linux", call, {});
    EXPECT_EQ(stats::RefusedSystemCall(other), words) << call << ": " << other.ending.words;
  }
  const stats::ChildRun from_32_bits = stats::RunRole("calls-linux", "from 32-bit code", {});
  ASSERT_EQ(from_32_bits.outcome, stats::ChildRun::ENDED) << from_32_bits.failure;
  if (from_32_bits.report == "above 4 GiB") GTEST_SKIP() << "placed beyond 32-bit code's reach";
  EXPECT_EQ(from_32_bits.report, "closed in");
  EXPECT_EQ(stats::RefusedSystemCall(from_32_bits), "number 20 of Linux's IA-32 calls")
      << from_32_bits.ending.words;
}

TEST(ChildRoleOnWindows, StoresTheFaultingInstructionsAddressBeforeAFaultEndsIt) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  for (const std::string fault : {"store to 0", "ud2", "int3"}) {
    const stats::SharedPage page(3 * sizeof(int64_t));
    ASSERT_NE(page.bytes(), nullptr) << page.error();
    const stats::ChildRun run = stats::RunRole("fault-address", fault, {}, &page);
    EXPECT_NE(run.ending.fault, "") << fault << ": " << run.ending.words;
    const auto* words = static_cast<const int64_t*>(page.bytes());
    // After the three NOPs placed before it.
    EXPECT_EQ(words[1], 1) << fault << ": no address stored";
    EXPECT_EQ(words[0], words[2] + 3) << fault;
  }
}

}  // namespace
