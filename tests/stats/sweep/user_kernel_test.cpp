// Your kernels: assembly text into bytes, and the inline copy checked against the called kernel.
#include "stats/sweep/user_kernel.h"

#include <gtest/gtest.h>

#include <vector>

#include "stats/sweep/assembler.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::variant<stats::Procedure, std::string> Parse(bool assembly, const std::string& argument) {
  return stats::ParseUserKernel({assembly, argument}, {"abs0"});
}

TEST(AssembleIntelSyntax, TurnsInstructionsSeparatedBySemicolonsOrNewlinesIntoTheirBytes) {
  const Bytes test_jns_neg = {0x85, 0xC0, 0x79, 0x02, 0xF7, 0xD8};
  EXPECT_EQ(stats::AssembleIntelSyntax("k", "test eax, eax; jns 1f; neg eax; 1:").bytes,
            test_jns_neg);
  EXPECT_EQ(stats::AssembleIntelSyntax("k", "test eax, eax\njns 1f\nneg eax\n1:").bytes,
            test_jns_neg);
}

TEST(AssembleIntelSyntax, RefusesWithTheAssemblersOwnWordsOrWhenTheCodeReachesOutside) {
  const stats::Assembled bad = stats::AssembleIntelSyntax("mine", "neg eax; frob eax");
  EXPECT_TRUE(bad.bytes.empty());
  EXPECT_NE(bad.problem.find("mine:1: Error: no such instruction: `frob eax'"), std::string::npos)
      << bad.problem;
  EXPECT_EQ(bad.problem.find("/tmp/"), std::string::npos) << "the scratch file's path shows";
  const stats::Assembled outside = stats::AssembleIntelSyntax("mine", "call printf");
  EXPECT_NE(outside.problem.find("refers to an address the assembler cannot know"),
            std::string::npos)
      << outside.problem;
}

TEST(ParseUserKernel, TakesAssemblyTextLikeHexAndShowsTheTextBesideTheName) {
  const auto parsed = Parse(true, "mine=test eax, eax\njns 1f; neg eax; 1:");
  const auto* kernel = std::get_if<stats::Procedure>(&parsed);
  ASSERT_NE(kernel, nullptr) << std::get<std::string>(parsed);
  EXPECT_EQ(kernel->bytes,
            (Bytes{0x85, 0xC0, 0x79, 0x02, 0xF7, 0xD8, 0x90, 0x90, 0x90, 0x90, 0xC3}));
  EXPECT_EQ(kernel->words, "mine (test eax, eax; jns 1f; neg eax; 1:)");
  EXPECT_EQ(std::get<stats::Procedure>(Parse(false, "same=85C07902F7D8")).bytes, kernel->bytes);

  std::string thirteen_moves;
  for (int move = 0; move < 13; ++move) thirteen_moves += "mov eax, 0x12345678;";
  EXPECT_EQ(std::get<std::string>(Parse(true, "long=" + thirteen_moves)),
            "kernel long: 65 bytes; at most 64 before the trailer");
  EXPECT_NE(std::get<std::string>(Parse(true, "bad=frob")).find("kernel bad: "), std::string::npos);
  EXPECT_EQ(std::get<std::string>(Parse(true, "nothing")),
            "--kernel-asm needs NAME=INSTRUCTIONS, not 'nothing'");
  EXPECT_NE(std::get<std::string>(Parse(true, "abs0=nop")).find("already taken"),
            std::string::npos);
}

TEST(CheckUserKernel, LeavesOutOfLatencyAndThroughputAKernelWhoseInlineCopyFaultsOrDiffers) {
  // JMP +4 lands on the trailer's RET when called, but on the filler after an inline copy.
  auto jump = std::get<stats::Procedure>(Parse(false, "jump=EB04"));
  EXPECT_EQ(stats::CheckUserKernel(jump), "") << "called, it keeps the contract";
  EXPECT_EQ(jump.inline_refusal.rfind("its inline copy faults (signal 5", 0), 0u)
      << jump.inline_refusal;

  // CALL next; POP RAX: the result is where the code stands, which differs between the two.
  auto where = std::get<stats::Procedure>(Parse(false, "where=E80000000058"));
  EXPECT_EQ(stats::CheckUserKernel(where), "");
  EXPECT_EQ(where.inline_refusal.rfind("its inline copy leaves 0x", 0), 0u) << where.inline_refusal;

  auto good =
      std::get<stats::Procedure>(Parse(true, "good=mov ecx, eax; neg ecx; cmovns eax, ecx"));
  EXPECT_EQ(stats::CheckUserKernel(good), "");
  EXPECT_EQ(good.inline_refusal, "");
}

}  // namespace
