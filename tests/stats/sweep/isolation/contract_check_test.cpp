// A user's kernel under the contract check: the inline copy checked against the called kernel.
#include "stats/sweep/isolation/contract_check.h"

#include <gtest/gtest.h>

#include "stats/sweep/user_code/user_kernel.h"

namespace {

std::variant<stats::Procedure, std::string> ParsedKernel(bool assembly,
                                                         const std::string& argument) {
  return stats::ParseUserKernel({assembly, argument}, {"abs0"});
}

TEST(CheckUserKernel, LeavesOutOfLatencyAndThroughputAKernelWhoseInlineCopyFaultsOrDiffers) {
  // JMP +4 lands on the trailer's RET when called, but on the filler after an inline copy.
  auto jump = std::get<stats::Procedure>(ParsedKernel(false, "jump=EB04"));
  const stats::ContractCheck jumped = stats::CheckUserKernel(jump);
  EXPECT_EQ(jumped.problem, "") << "called, it keeps the contract";
  EXPECT_EQ(jumped.inline_refusal,
            "the process running its inline copy was killed by SIGTRAP (Trace/breakpoint trap)")
      << jumped.inline_refusal;

  // CALL next; POP RAX: the result is where the code stands, which differs between the two.
  auto where = std::get<stats::Procedure>(ParsedKernel(false, "where=E80000000058"));
  const stats::ContractCheck moved = stats::CheckUserKernel(where);
  EXPECT_EQ(moved.problem, "");
  EXPECT_EQ(moved.inline_refusal.rfind("its inline copy leaves 0x", 0), 0u) << moved.inline_refusal;

  auto good =
      std::get<stats::Procedure>(ParsedKernel(true, "good=mov ecx, eax; neg ecx; cmovns eax, ecx"));
  const stats::ContractCheck kept = stats::CheckUserKernel(good);
  EXPECT_EQ(kept.problem, "");
  EXPECT_EQ(kept.inline_refusal, "");
}

TEST(CheckUserKernel, LeavesOutOfLatencyAndThroughputAKernelThatReturnsBeforeTheEndOfItsBytes) {
  // A store below the stack pointer and an LEA of it, each with a RET of its own: harmless when
  // called, but in a block the RET would leave for whatever lies above the kernel's stack pointer.
  for (const char* argument : {"st=894424F8C3", "lea=488D0424C3"}) {
    auto kernel = std::get<stats::Procedure>(ParsedKernel(false, argument));
    const stats::ContractCheck checked = stats::CheckUserKernel(kernel);
    EXPECT_EQ(checked.problem, "") << argument;
    EXPECT_EQ(checked.inline_refusal,
              "it returns before the end of its bytes (a RET among them), which an inline copy "
              "cannot")
        << argument;
  }
  // Early for the positive operand only.
  auto early =
      std::get<stats::Procedure>(ParsedKernel(true, "early=test eax, eax; js 1f; ret; 1: neg eax"));
  EXPECT_EQ(stats::CheckUserKernel(early).inline_refusal.rfind("it returns before the end", 0), 0u);
  // A RET jumped over is never taken: the copy runs to its end.
  auto skipped = std::get<stats::Procedure>(ParsedKernel(false, "skipped=EB01C3"));
  EXPECT_EQ(stats::CheckUserKernel(skipped).inline_refusal, "");
}

TEST(CheckUserKernel, NamesTheByteOfTheInlineCopyThatFaultedButNoneOfTheChecksOwnEnd) {
  // LEA RCX, [RIP - 7]; TEST ECX, 0xFFF; JZ +2: skips the next two bytes only at the page-aligned
  // start where the called kernel lies, never where the inline copy does.
  const std::string at_own_address = "488D0DF9FFFFFFF7C1FF0F00007402";
  auto ud2 = std::get<stats::Procedure>(ParsedKernel(false, "ud2=" + at_own_address + "0F0B"));
  const stats::ContractCheck illegal = stats::CheckUserKernel(ud2);
  EXPECT_EQ(illegal.problem, "");
  EXPECT_EQ(illegal.inline_refusal,
            "the process running its inline copy was killed by SIGILL (Illegal instruction) at "
            "byte 15 of its inline copy");
  // XOR ESP, ESP: the RET of the check's end faults, which is not a byte of the kernel.
  auto rsp = std::get<stats::Procedure>(ParsedKernel(false, "rsp=" + at_own_address + "31E4"));
  const stats::ContractCheck wrecked = stats::CheckUserKernel(rsp);
  EXPECT_EQ(wrecked.problem, "");
  EXPECT_EQ(wrecked.inline_refusal.rfind("the process running its inline copy was killed by "
                                         "SIGSEGV (Segmentation fault) outside the kernel's bytes "
                                         "(at address 0x",
                                         0),
            0u)
      << wrecked.inline_refusal;
}

TEST(CheckUserKernel, MeasuresAKernelThatChangesXmm6WhichNoSystemVCallerKeeps) {
  auto xmm6 = std::get<stats::Procedure>(ParsedKernel(false, "xmm6=0F57F6"));  // xorps xmm6, xmm6
  const stats::ContractCheck checked = stats::CheckUserKernel(xmm6);
  EXPECT_EQ(checked.problem, "");
  EXPECT_EQ(checked.inline_refusal, "");
}

}  // namespace
