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
};

// Family 6, by model number.
constexpr std::array<IntelModel, 40> INTEL = {{
    {0x2a, "Sandy Bridge"},   {0x2d, "Sandy Bridge-EP"}, {0x3a, "Ivy Bridge"},
    {0x3e, "Ivy Bridge-EP"},  {0x3c, "Haswell"},         {0x3f, "Haswell-EP"},
    {0x45, "Haswell"},        {0x46, "Haswell"},         {0x3d, "Broadwell"},
    {0x47, "Broadwell"},      {0x4f, "Broadwell-EP"},    {0x56, "Broadwell-DE"},
    {0x4e, "Skylake"},        {0x5e, "Skylake"},         {0x55, "Skylake-SP"},
    {0x8e, "Kaby Lake"},      {0x9e, "Kaby Lake"},       {0xa5, "Comet Lake"},
    {0xa6, "Comet Lake"},     {0x66, "Cannon Lake"},     {0x7d, "Ice Lake"},
    {0x7e, "Ice Lake"},       {0x6a, "Ice Lake-SP"},     {0x6c, "Ice Lake-SP"},
    {0x8c, "Tiger Lake"},     {0x8d, "Tiger Lake"},      {0xa7, "Rocket Lake"},
    {0x97, "Alder Lake"},     {0x9a, "Alder Lake"},      {0xb7, "Raptor Lake"},
    {0xba, "Raptor Lake"},    {0xbf, "Raptor Lake"},     {0x8f, "Sapphire Rapids"},
    {0xcf, "Emerald Rapids"}, {0xaa, "Meteor Lake"},     {0xac, "Meteor Lake"},
    {0xad, "Granite Rapids"}, {0xbd, "Lunar Lake"},      {0xc5, "Arrow Lake"},
    {0xc6, "Arrow Lake"},
}};

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
    for (const IntelModel& known : INTEL) {
      if (known.model == model) return known.name;
    }
  }
  return "";
}

}  // namespace stats
