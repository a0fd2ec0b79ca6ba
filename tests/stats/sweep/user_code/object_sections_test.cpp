// Which sections of the assembler's object hold bytes, read from its headers alone.
#include "stats/sweep/user_code/object_sections.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Section {
  std::string name;
  uint32_t type;
  uint64_t size;
};

void PutNumber(Bytes& object, size_t at, uint64_t number, size_t width) {
  for (size_t byte = 0; byte < width; ++byte) object[at + byte] = (number >> (8 * byte)) & 0xFF;
}

// An ELF header, the section names, then the section table, its last entry the names.
Bytes ObjectWith(std::vector<Section> sections) {
  Bytes object(64, 0);
  const uint8_t ident[] = {0x7F, 'E', 'L', 'F', 2, 1};
  std::copy(std::begin(ident), std::end(ident), object.begin());
  sections.push_back({".shstrtab", 3, 0});
  std::vector<size_t> names;
  for (const Section& section : sections) {
    names.push_back(object.size() - 64);
    object.insert(object.end(), section.name.begin(), section.name.end());
    object.push_back(0);
  }
  sections.back().size = object.size() - 64;
  const size_t table = object.size();
  PutNumber(object, 0x28, table, 8);
  PutNumber(object, 0x3A, 64, 2);
  PutNumber(object, 0x3C, sections.size(), 2);
  PutNumber(object, 0x3E, sections.size() - 1, 2);
  for (size_t at = 0; at < sections.size(); ++at) {
    object.resize(object.size() + 64, 0);
    const size_t entry = table + at * 64;
    PutNumber(object, entry, names[at], 4);
    PutNumber(object, entry + 4, sections[at].type, 4);
    PutNumber(object, entry + 24, 64, 8);
    PutNumber(object, entry + 32, sections[at].size, 8);
  }
  return object;
}

TEST(SectionsHoldingBytes, CountsEachSectionWithBytesButNotTheAssemblersBookkeeping) {
  const stats::ObjectSections read =
      stats::SectionsHoldingBytes(ObjectWith({{"", 0, 0},
                                              {".text", 1, 3},
                                              {".data", 1, 0},
                                              {".bss", 8, 8},
                                              {".symtab", 2, 48},
                                              {".strtab", 3, 5},
                                              {".rela.text", 4, 24},
                                              {".note", 7, 16},
                                              {".note.gnu.property", 7, 48}}));
  EXPECT_EQ(read.problem, "");
  EXPECT_EQ(read.holding_bytes, (std::vector<std::string>{".text", ".bss", ".note"}))
      << "the note an assembler may add to every object is not the user's";
}

TEST(SectionsHoldingBytes, RefusesWhatIsNotAWhole64BitLittleEndianObject) {
  const Bytes whole = ObjectWith({{".text", 1, 3}});
  Bytes cut = whole, thirty_two_bit = whole, names_outside = whole;
  cut.pop_back();
  thirty_two_bit[4] = 1;
  PutNumber(names_outside, whole.size() - 64 + 24, whole.size(), 8);
  for (const Bytes& object :
       {Bytes{}, Bytes(whole.begin(), whole.begin() + 63), cut, thirty_two_bit, names_outside}) {
    const stats::ObjectSections read = stats::SectionsHoldingBytes(object);
    EXPECT_NE(read.problem, "") << object.size();
    EXPECT_TRUE(read.holding_bytes.empty());
  }
}

// A COFF object as a mingw-w64 assembler writes: header, section table, no symbols, and a string
// table holding the names longer than eight letters, named "/OFFSET".
Bytes CoffObjectWith(const std::vector<std::pair<std::string, uint32_t>>& sections) {
  Bytes object(20 + 40 * sections.size(), 0);
  PutNumber(object, 0, 0x8664, 2);
  PutNumber(object, 2, sections.size(), 2);
  PutNumber(object, 8, object.size(), 4);
  Bytes strings(4, 0);
  for (size_t at = 0; at < sections.size(); ++at) {
    std::string name = sections[at].first;
    if (name.size() > 8) {
      const std::string offset = "/" + std::to_string(strings.size());
      strings.insert(strings.end(), name.begin(), name.end());
      strings.push_back(0);
      name = offset;
    }
    std::copy(name.begin(), name.end(), object.begin() + 20 + 40 * at);
    PutNumber(object, 20 + 40 * at + 16, sections[at].second, 4);
  }
  PutNumber(strings, 0, strings.size(), 4);
  object.insert(object.end(), strings.begin(), strings.end());
  return object;
}

TEST(SectionsHoldingBytes, ReadsAWindowsAssemblersCoffObjectWithItsLongNames) {
  const stats::ObjectSections read = stats::SectionsHoldingBytes(
      CoffObjectWith({{".text", 3}, {".data", 0}, {".bss", 8}, {".rdata$zzz", 16}}));
  EXPECT_EQ(read.problem, "");
  EXPECT_EQ(read.holding_bytes, (std::vector<std::string>{".text", ".bss", ".rdata$zzz"}));
  Bytes cut = CoffObjectWith({{".text", 3}, {".data", 0}});
  cut.resize(40);
  EXPECT_NE(stats::SectionsHoldingBytes(cut).problem, "") << "a section table past its end";
}

}  // namespace
