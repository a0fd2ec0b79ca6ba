// Your kernels: assembly text into bytes, and the arguments read strictly.
#include "stats/sweep/user_code/user_kernel.h"

#include <gtest/gtest.h>

#include <vector>

#include "stats/sweep/user_code/assembler.h"

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

TEST(FileRefusedToAssembler, FindsTheFileOfTheFirstLineThatSaysItCouldNotBeRead) {
  EXPECT_EQ(stats::FileRefusedToAssembler("k: Assembler messages:\nk:2: Error: file not found: "
                                          "/etc/a b\nk:3: Error: file not found: /etc/c\n"),
            "/etc/a b");
  EXPECT_EQ(stats::FileRefusedToAssembler(
                "k:1: Error: can't open /etc/shadow for reading: Permission denied"),
            "/etc/shadow");
  for (const char* other :
       {"k:1: Error: can't open /x for reading: No such file or directory",
        "k:1: Error: no such instruction: `frob'", "k:1: Error: can't open ", ""}) {
    EXPECT_EQ(stats::FileRefusedToAssembler(other), "") << other;
  }
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

}  // namespace
