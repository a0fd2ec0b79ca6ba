// llvm-mc's listing read back into instructions by offset, a path made a straight sequence, and
// llvm-mca's errors traced to the region they come from; the host set beside the model.
#include "stats/sweep/prediction/path_listing.h"

#include <gtest/gtest.h>

#include "stats/host/processor_facts.h"
#include "stats/sweep/prediction/model_host.h"

namespace {

using stats::Instructions;
using Bytes = std::vector<uint8_t>;

// DisassemblerInput of these copies, as llvm-mc 19 --disassemble --show-encoding lists it: abs2's
// body; a copy whose last byte starts an instruction it does not finish; one whose first two bytes
// it cannot read (it says so on standard error and goes on after them).
const std::vector<Bytes> COPIES = {
    {0x0B, 0xC0, 0x79, 0x02, 0xF7, 0xD8}, {0xF7, 0xD8, 0x0F}, {0x0F, 0xFF, 0x85, 0xC0}};

std::string Int3s(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i)
    lines += "\tint3                                    # encoding: [0xcc]\n";
  return lines;
}

const std::string LISTING =
    "\t.text\n"
    "\torl\t%eax, %eax                      # encoding: [0x0b,0xc0]\n"
    "\tjns\t2                               # encoding: [0x79,A]\n"
    "                                        #   fixup A - offset: 1, value: 2-1, kind: "
    "FK_PCRel_1\n"
    "\tnegl\t%eax                            # encoding: [0xf7,0xd8]\n" +
    Int3s(15) + "\tnegl\t%eax                            # encoding: [0xf7,0xd8]\n" +
    "\tbswapl\t%esp                            # encoding: [0x0f,0xcc]\n" + Int3s(14) +
    "\ttestl\t%eax, %eax                      # encoding: [0x85,0xc0]\n" + Int3s(15);

TEST(Listing, PlacesEachInstructionAtTheOffsetItsEncodingMatchesAndNoneAcrossACopysEnd) {
  EXPECT_EQ(stats::DisassemblerInput({{0x90}}),
            "0x90 0xcc 0xcc 0xcc 0xcc 0xcc 0xcc 0xcc 0xcc 0xcc 0xcc 0xcc 0xcc 0xcc 0xcc 0xcc \n");
  const std::vector<Instructions> read = stats::ReadListing(LISTING, COPIES);
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[0], (Instructions{{0, "orl %eax, %eax"}, {2, "jns 2"}, {4, "negl %eax"}}));
  EXPECT_EQ(read[1], (Instructions{{0, "negl %eax"}})) << "the unfinished one runs into the filler";
  EXPECT_EQ(read[2], (Instructions{{2, "testl %eax, %eax"}}))
      << "nothing at bytes it could not read";
}

TEST(Listing, PlacesAnInstructionItReEncodedAtItsOwnOffsetWithoutSkippingToALaterCopy) {
  // The same kernel in two passes, `lea eax, [rax+0]` listed as `lea eax, [rax]`, whose bytes a
  // third copy holds; then prefixes that the re-encoding leaves out.
  const std::vector<Bytes> copies = {{0x8D, 0x40, 0x00, 0xF7, 0xD8},
                                     {0x8D, 0x40, 0x00, 0xF7, 0xD8},
                                     {0x8D, 0x00, 0xF7, 0xD8},
                                     {0x66, 0x66, 0x90, 0x2E, 0x75, 0x00}};
  const std::string lea = "\tleal\t(%rax), %eax                    # encoding: [0x8d,0x00]\n";
  const std::string neg = "\tnegl\t%eax                            # encoding: [0xf7,0xd8]\n";
  const std::string listing = "\t.text\n" + lea + neg + Int3s(15) + lea + neg + Int3s(15) + lea +
                              neg + Int3s(15) +
                              "\tnop                                     # encoding: [0x90]\n"
                              "\tjne\t0                               # encoding: [0x75,A]\n"
                              "                                        #   fixup A - offset: 1, "
                              "value: 0-1, kind: FK_PCRel_1\n" +
                              Int3s(15);
  const std::vector<Instructions> read = stats::ReadListing(listing, copies);
  ASSERT_EQ(read.size(), 4u);
  const Instructions long_form = {{0, "leal (%rax), %eax"}, {3, "negl %eax"}};
  EXPECT_EQ(read[0], long_form);
  EXPECT_EQ(read[1], long_form);
  EXPECT_EQ(read[2], (Instructions{{0, "leal (%rax), %eax"}, {2, "negl %eax"}}));
  EXPECT_EQ(read[3], (Instructions{{0, "nop"}, {3, "jne 0"}}));
}

TEST(Listing, GivesAPathAsItsInstructionsInTheOrderTheyRanOrSaysWhichByteIsNotKnown) {
  const std::vector<Instructions> read = stats::ReadListing(LISTING, COPIES);
  std::string why_not;
  EXPECT_EQ(stats::StraightSequence(read[0], {0, 2}, why_not),
            (std::vector<std::string>{"orl %eax, %eax", "jns 2"}));
  EXPECT_EQ(stats::StraightSequence(read[0], {0, 2, 4, 0, 2}, why_not).size(), 5u);
  EXPECT_EQ(why_not, "");
  EXPECT_TRUE(stats::StraightSequence(read[2], {0, 2}, why_not).empty());
  EXPECT_EQ(why_not, "the disassembler does not know the instruction at byte 0 of its copy");
}

TEST(Listing, TracesAnErrorOfTheModelToTheRegionOfItsLineOrOfTheInstructionItQuotes) {
  const stats::ModelRegions regions = stats::RegionsOf(
      {"abs2", "mine"}, {{"orl %eax, %eax", "jns 2"}, {"negl %eax", "vpaddd %zmm0, %zmm1, %zmm2"}});
  EXPECT_EQ(regions.text,
            "# LLVM-MCA-BEGIN abs2\norl %eax, %eax\njns 2\n# LLVM-MCA-END\n"
            "# LLVM-MCA-BEGIN mine\nnegl %eax\nvpaddd %zmm0, %zmm1, %zmm2\n# LLVM-MCA-END\n");
  std::string why;
  EXPECT_EQ(stats::BlamedRegion(regions, "/tmp/x/blocks.s:3:1: error: invalid operand\n", why), 0);
  EXPECT_EQ(why, "the model does not read it: invalid operand");
  EXPECT_EQ(stats::BlamedRegion(regions,
                                "error: found an unsupported instruction in the input assembly "
                                "sequence\nnote: instruction: \tvpaddd\t%zmm0, %zmm1, %zmm2\n",
                                why),
            1);
  EXPECT_EQ(why, "the model does not know vpaddd %zmm0, %zmm1, %zmm2");
  EXPECT_EQ(stats::BlamedRegion(regions, "error: out of memory\n", why), -1);
}

TEST(ModelHost, SaysWhenNativeGaveAnOlderModelThanTheHostsAndNotOtherwise) {
  EXPECT_EQ(stats::ZenGeneration(25, 17), 4) << "Genoa";
  EXPECT_EQ(stats::ZenGeneration(25, 1), 3) << "Milan";
  EXPECT_EQ(stats::ZenGeneration(26, 2), 5);
  EXPECT_EQ(stats::ZenGeneration(23, 49), 2);
  const stats::HostProcessor zen4{"AuthenticAMD", 25, 17};
  EXPECT_EQ(stats::DescribeHost(zen4), "AMD family 25 model 17");
  EXPECT_EQ(stats::OlderModelNote(zen4, "znver3", "Debian LLVM version 14.0.6\n"),
            "LLVM 14 knows no model newer than znver3; install llvm-19");
  EXPECT_EQ(stats::OlderModelNote({"AuthenticAMD", 27, 0}, "znver5", "LLVM version 19.1.7"),
            "LLVM 19 knows no model newer than znver5");
  EXPECT_EQ(stats::OlderModelNote(zen4, "znver4", "LLVM version 19.1.7"), "");
  EXPECT_EQ(stats::OlderModelNote({"GenuineIntel", 6, 143}, "znver3", ""), "");
  EXPECT_EQ(stats::OlderModelNote(zen4, "generic", ""), "");
  EXPECT_EQ(stats::OlderModelNote(zen4, "skylake", ""), "");
}

TEST(ModelHost, SaysWhenNativeTookAnIntelHostForAnOlderProcessorWhereItsModelNumberTellsWhich) {
  const stats::HostProcessor sapphire_rapids{"GenuineIntel", 6, 0x8F};
  EXPECT_EQ(stats::DescribeHost(sapphire_rapids), "Intel family 6 model 143");
  EXPECT_EQ(stats::OlderModelNote(sapphire_rapids, "icelake-server", "LLVM version 14.0.6"),
            "LLVM 14 takes this host (sapphirerapids) for the older icelake-server; install "
            "llvm-19");
  EXPECT_EQ(stats::OlderModelNote({"GenuineIntel", 6, 0x97}, "goldmont", ""),
            "this LLVM takes this host (alderlake) for the older goldmont; install llvm-19");
  EXPECT_EQ(stats::OlderModelNote(sapphire_rapids, "sapphirerapids", "LLVM version 19.1.7"), "");
  EXPECT_EQ(stats::OlderModelNote(sapphire_rapids, "graniterapids", ""), "") << "a newer one";
  EXPECT_EQ(stats::OlderModelNote(sapphire_rapids, "znver3", ""), "") << "another vendor's";
  EXPECT_EQ(stats::OlderModelNote(sapphire_rapids, "x86-64-v4", ""), "");
  // Cascade Lake has Skylake's model number: a model of either is not older than the host.
  EXPECT_EQ(stats::OlderModelNote({"GenuineIntel", 6, 0x55}, "skylake-avx512", ""), "");
  EXPECT_EQ(stats::OlderModelNote({"GenuineIntel", 6, 0x55}, "cascadelake", ""), "");
  EXPECT_EQ(stats::OlderModelNote({"GenuineIntel", 6, 0x55}, "broadwell", ""),
            "this LLVM takes this host (skylake-avx512) for the older broadwell; install llvm-19");
  EXPECT_EQ(stats::OlderModelNote({"GenuineIntel", 6, 0xB7}, "alderlake", ""), "")
      << "Raptor Lake, which LLVM may name after Alder Lake";
  EXPECT_EQ(stats::OlderModelNote({"GenuineIntel", 15, 0x8F}, "core2", ""), "");
}

}  // namespace
