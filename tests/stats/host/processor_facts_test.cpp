// The processor's signature decoded and named as the vendors number their models.
#include "stats/host/processor_facts.h"

#include <gtest/gtest.h>

namespace {

TEST(ProcessorSignature, ExtendedFamilyAndModelAreFoldedInAsTheVendorsDefineThem) {
  int family = 0, model = 0, stepping = 0;
  stats::DecodeSignature(0x00a10f11, family, model, stepping);  // an EPYC 9004
  EXPECT_EQ(family, 0x19);
  EXPECT_EQ(model, 0x11);
  EXPECT_EQ(stepping, 1);
  stats::DecodeSignature(0x000906ea, family, model, stepping);  // a Coffee Lake desktop
  EXPECT_EQ(family, 6);
  EXPECT_EQ(model, 0x9e);
  EXPECT_EQ(stepping, 0xa);
  stats::DecodeSignature(0x00000f4a, family, model, stepping);  // family 15: extended family 0
  EXPECT_EQ(family, 15);
  EXPECT_EQ(model, 4);
}

TEST(Microarchitecture, KnownModelsAreNamedAndOthersLeftToTheBrandString) {
  EXPECT_EQ(stats::MicroarchitectureOf("AuthenticAMD", 25, 17), "Zen 4");
  EXPECT_EQ(stats::MicroarchitectureOf("AuthenticAMD", 25, 0x01), "Zen 3");
  EXPECT_EQ(stats::MicroarchitectureOf("AuthenticAMD", 25, 0x21), "Zen 3");
  EXPECT_EQ(stats::MicroarchitectureOf("AuthenticAMD", 26, 0x44), "Zen 5");
  EXPECT_EQ(stats::MicroarchitectureOf("AuthenticAMD", 23, 0x31), "Zen 2");
  EXPECT_EQ(stats::MicroarchitectureOf("GenuineIntel", 6, 0x8f), "Sapphire Rapids");
  EXPECT_EQ(stats::MicroarchitectureOf("GenuineIntel", 6, 0x55), "Skylake-SP");
  EXPECT_EQ(stats::MicroarchitectureOf("GenuineIntel", 6, 0x01), "");
  EXPECT_EQ(stats::MicroarchitectureOf("AuthenticAMD", 6, 0x55), "") << "models are per vendor";
  EXPECT_EQ(stats::MicroarchitectureOf("", 25, 17), "");
}

TEST(ProcessorFacts, ThisMachineGivesAVendorACpuCountAndAKernelRelease) {
  const stats::ProcessorFacts facts = stats::ReadProcessorFacts();
  EXPECT_EQ(facts.vendor.size(), 12u);
  EXPECT_GT(facts.logical_cpus, 0);
  EXPECT_FALSE(facts.kernel_release.empty());
  ASSERT_FALSE(facts.brand.empty());
  EXPECT_NE(facts.brand.back(), ' ') << "the brand string is trimmed";
}

}  // namespace
