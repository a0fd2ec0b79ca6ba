// A fault that ends a child stores its instruction's address for the parent, and the child still
// dies of the signal it would have died of without that.
#include "stats/system/fault_address.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "stats/system/child_roles.h"
#include "stats/system/code_arena.h"
#include "stats/system/sandbox.h"
#include "stats/system/shared_page.h"
#include "tests/stats/test_roles.h"

namespace {

constexpr char NOPS[] = "\x90\x90\x90";

// Words of the shared page: the address, whether one was stored, and where the code was placed.
enum Word { FAULT_AT, FAULTED, PLACED_AT, WORDS };

// The input's bytes after three NOPs, run closed in as the sweep runs placed code: on the
// sandbox's signal stack, whatever the bytes did to RSP.
const bool FAULT_ADDRESS_ROLE_ADDED = testing_roles::Add(
    "stores-its-fault-address", [](const std::string& input, const stats::RoleContext& context) {
      stats::SharedPage page(context.shared_page, WORDS * sizeof(int64_t));
      auto* words = static_cast<int64_t*>(page.bytes());
      const std::string code = NOPS + input + "\xC3";
      stats::CodeArena arena(code.size());
      if (words == nullptr || !arena.ok()) stats::ExitAtOnce(2);
      std::memcpy(arena.writable(), code.data(), code.size());
      if (!arena.MakeExecutable()) stats::ExitAtOnce(2);
      words[PLACED_AT] = static_cast<int64_t>(reinterpret_cast<uintptr_t>(arena.bytes()));
      stats::RecordFaultAddressIn(&words[FAULT_AT]);
      stats::SandboxRules rules;
      rules.report = context.report;
      if (!stats::EnterSandbox(rules).empty()) stats::ExitAtOnce(3);
      reinterpret_cast<void (*)()>(const_cast<uint8_t*>(arena.bytes()))();
      stats::ExitAtOnce(0);
    });

TEST(FaultAddress, IsStoredBeforeAFaultEndsTheChildWhichDiesOfTheSameSignal) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  const struct {
    const char* name;
    std::string bytes;
    int64_t at;  // of the faulting instruction, after the NOPs; -1 where nothing is stored
    std::string fault;
  } cases[] = {
      {"ud2", "\x0F\x0B", 3, "SIGILL (Illegal instruction)"},
      {"store to 0", std::string("\xC7\x04\x25\0\0\0\0\1\0\0\0", 11), 3,
       "SIGSEGV (Segmentation fault)"},
      // XOR ESP, ESP first: the handler must not need the kernel's stack, or SIGSEGV would win.
      {"ud2 on a wrecked stack", "\x31\xE4\x0F\x0B", 5, "SIGILL (Illegal instruction)"},
      // A trap's address is past its instruction: none is given.
      {"int3", "\xCC", -1, "SIGTRAP (Trace/breakpoint trap)"},
  };
  for (const auto& fault : cases) {
    const stats::SharedPage page(WORDS * sizeof(int64_t));
    ASSERT_NE(page.bytes(), nullptr) << page.error();
    const stats::ChildRun run = stats::RunRole("stores-its-fault-address", fault.bytes, {}, &page);
    ASSERT_EQ(run.outcome, stats::ChildRun::ENDED) << fault.name << ": " << run.failure;
    EXPECT_EQ(run.ending.fault, fault.fault) << fault.name << ": " << run.ending.words;
    const auto* words = static_cast<const int64_t*>(page.bytes());
    if (fault.at < 0) {
      EXPECT_EQ(words[FAULTED], 0) << fault.name;
      continue;
    }
    EXPECT_EQ(words[FAULTED], 1) << fault.name << ": no address stored";
    EXPECT_EQ(words[FAULT_AT], words[PLACED_AT] + fault.at) << fault.name;
  }
}

}  // namespace
