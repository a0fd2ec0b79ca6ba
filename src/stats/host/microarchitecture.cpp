// A small table of the processors a benchmark is most often run on; an unknown one is named by
// its brand string instead.
#include <array>

#include "stats/host/processor_facts.h"

namespace stats {

namespace {

struct ModelRange {
  int family, first_model, last_model;
  const char* name;
};

constexpr std::array<ModelRange, 20> AMD = {{
    {0x17, 0x00, 0x07, "Zen"},        {0x17, 0x08, 0x08, "Zen+"},
    {0x17, 0x11, 0x11, "Zen"},        {0x17, 0x18, 0x18, "Zen+"},
    {0x17, 0x20, 0x2f, "Zen"},        {0x17, 0x30, 0xaf, "Zen 2"},
    {0x19, 0x00, 0x0f, "Zen 3"},      {0x19, 0x10, 0x1f, "Zen 4"},
    {0x19, 0x20, 0x2f, "Zen 3"},      {0x19, 0x40, 0x4f, "Zen 3+"},
    {0x19, 0x50, 0x5f, "Zen 3"},      {0x19, 0x60, 0x7f, "Zen 4"},
    {0x19, 0xa0, 0xaf, "Zen 4"},      {0x1a, 0x00, 0xff, "Zen 5"},
    {0x16, 0x00, 0xff, "Jaguar"},     {0x15, 0x00, 0x0f, "Bulldozer"},
    {0x15, 0x10, 0x1f, "Piledriver"}, {0x15, 0x30, 0x3f, "Steamroller"},
    {0x15, 0x60, 0x7f, "Excavator"},  {0x10, 0x00, 0xff, "K10"},
}};

struct IntelModel {
  int model;
  const char* name;
  const char* llvm;  // LLVM's name of the processor, where the model number alone tells it
};

// Family 6, by model number. LLVM names Raptor Lake and Meteor Lake after an older processor of
// the same design, and some Arrow Lake models after their mobile part: those have no LLVM name.
constexpr std::array<IntelModel, 49> INTEL = {{
    {0x2a, "Sandy Bridge", "sandybridge"},
    {0x2d, "Sandy Bridge-EP", "sandybridge"},
    {0x3a, "Ivy Bridge", "ivybridge"},
    {0x3e, "Ivy Bridge-EP", "ivybridge"},
    {0x3c, "Haswell", "haswell"},
    {0x3f, "Haswell-EP", "haswell"},
    {0x45, "Haswell", "haswell"},
    {0x46, "Haswell", "haswell"},
    {0x3d, "Broadwell", "broadwell"},
    {0x47, "Broadwell", "broadwell"},
    {0x4f, "Broadwell-EP", "broadwell"},
    {0x56, "Broadwell-DE", "broadwell"},
    {0x4e, "Skylake", "skylake"},
    {0x5e, "Skylake", "skylake"},
    {0x55, "Skylake-SP", "skylake-avx512"},
    {0x8e, "Kaby Lake", "skylake"},
    {0x9e, "Kaby Lake", "skylake"},
    {0xa5, "Comet Lake", "skylake"},
    {0xa6, "Comet Lake", "skylake"},
    {0x5c, "Goldmont", "goldmont"},
    {0x5f, "Goldmont", "goldmont"},
    {0x7a, "Goldmont Plus", "goldmont-plus"},
    {0x66, "Cannon Lake", "cannonlake"},
    {0x7d, "Ice Lake", "icelake-client"},
    {0x7e, "Ice Lake", "icelake-client"},
    {0x6a, "Ice Lake-SP", "icelake-server"},
    {0x6c, "Ice Lake-SP", "icelake-server"},
    {0x8c, "Tiger Lake", "tigerlake"},
    {0x8d, "Tiger Lake", "tigerlake"},
    {0x86, "Tremont", "tremont"},
    {0x8a, "Tremont", "tremont"},
    {0x96, "Tremont", "tremont"},
    {0x9c, "Tremont", "tremont"},
    {0xa7, "Rocket Lake", "rocketlake"},
    {0x97, "Alder Lake", "alderlake"},
    {0x9a, "Alder Lake", "alderlake"},
    {0xb7, "Raptor Lake", nullptr},
    {0xba, "Raptor Lake", nullptr},
    {0xbf, "Raptor Lake", nullptr},
    {0x8f, "Sapphire Rapids", "sapphirerapids"},
    {0xcf, "Emerald Rapids", "emeraldrapids"},
    {0xaa, "Meteor Lake", nullptr},
    {0xac, "Meteor Lake", nullptr},
    {0xad, "Granite Rapids", "graniterapids"},
    {0xbd, "Lunar Lake", "lunarlake"},
    {0xb5, "Arrow Lake", "arrowlake"},
    {0xc5, "Arrow Lake", "arrowlake"},
    {0xc6, "Arrow Lake", nullptr},
}};

const IntelModel* IntelModelNumbered(int model) {
  for (const IntelModel& known : INTEL) {
    if (known.model == model) return &known;
  }
  return nullptr;
}

}  // namespace

std::string MicroarchitectureOf(const std::string& vendor, int family, int model) {
  if (vendor == "AuthenticAMD" || vendor == "HygonGenuine") {
    if (vendor == "HygonGenuine") return family == 0x18 ? "Dhyana (Zen)" : "";
    for (const ModelRange& range : AMD) {
      if (range.family == family && model >= range.first_model && model <= range.last_model) {
        return range.name;
      }
    }
  } else if (vendor == "GenuineIntel" && family == 6) {
    if (const IntelModel* known = IntelModelNumbered(model)) return known->name;
  }
  return "";
}

std::string IntelLlvmName(int model) {
  const IntelModel* known = IntelModelNumbered(model);
  return known != nullptr && known->llvm != nullptr ? known->llvm : "";
}

int ZenGeneration(int family, int model) {
  const std::string name = MicroarchitectureOf("AuthenticAMD", family, model);
  if (name.rfind("Zen ", 0) == 0) return name[4] - '0';
  if (name == "Zen" || name == "Zen+") return 1;
  // A model the table does not know yet: its family's usual generation.
  if (family == 0x17) return model < 0x30 ? 1 : 2;
  if (family == 0x19) return 3;
  if (family == 0x1a) return 5;
  return family > 0x1a ? 6 : 0;
}

}  // namespace stats
