#include "stats/sweep/user_code/object_sections.h"

#include <algorithm>
#include <iterator>

namespace stats {

namespace {

constexpr size_t SECTION_HEADER_SIZE = 64;

// The little-endian number of `width` bytes at `at`; the caller has checked that they are there.
uint64_t NumberAt(const std::vector<uint8_t>& object, size_t at, size_t width) {
  uint64_t number = 0;
  for (size_t byte = width; byte-- > 0;) number = number << 8 | object[at + byte];
  return number;
}

constexpr uint64_t NOTE = 7;

// Kinds of section that hold what the assembler keeps about the code, not code or data:
// none, symbols, their names, relocations, groups and extended section indexes.
bool IsBookkeeping(uint64_t type) {
  for (const uint64_t kind : {0, 2, 3, 4, 9, 17, 18}) {
    if (type == kind) return true;
  }
  return false;
}

constexpr uint64_t COFF_X86_64 = 0x8664;
constexpr size_t COFF_HEADER_SIZE = 20, COFF_SECTION_SIZE = 40, COFF_SYMBOL_SIZE = 18;

// A COFF object for x86-64, as a mingw-w64 assembler writes: every section with raw data or an
// uninitialised size counts, as ELF's do; the symbols and relocations live outside sections.
ObjectSections CoffSectionsHoldingBytes(const std::vector<uint8_t>& object) {
  ObjectSections sections;
  const uint64_t count = NumberAt(object, 2, 2), symbols = NumberAt(object, 8, 4),
                 symbol_count = NumberAt(object, 12, 4), optional = NumberAt(object, 16, 2);
  const uint64_t table = COFF_HEADER_SIZE + optional;
  if (table > object.size() || count > (object.size() - table) / COFF_SECTION_SIZE) {
    sections.problem = "the assembler's object has a section table this cannot read";
    return sections;
  }
  // Names longer than eight letters are "/OFFSET" into the string table after the symbols.
  const uint64_t strings = symbols + symbol_count * COFF_SYMBOL_SIZE;
  for (size_t index = 0; index < count; ++index) {
    const size_t at = table + index * COFF_SECTION_SIZE;
    if (NumberAt(object, at + 16, 4) == 0 && NumberAt(object, at + 8, 4) == 0) continue;
    std::string name;
    for (size_t letter = 0; letter < 8 && object[at + letter] != 0; ++letter)
      name += static_cast<char>(object[at + letter]);
    if (name.size() > 1 && name[0] == '/' &&
        name.find_first_not_of("0123456789", 1) == std::string::npos) {
      const uint64_t from = strings + std::stoull(name.substr(1));
      name.clear();
      for (uint64_t byte = from; byte < object.size() && object[byte] != 0; ++byte)
        name += static_cast<char>(object[byte]);
    }
    sections.holding_bytes.push_back(name);
  }
  return sections;
}

}  // namespace

ObjectSections SectionsHoldingBytes(const std::vector<uint8_t>& object) {
  ObjectSections sections;
  if (object.size() >= COFF_HEADER_SIZE && NumberAt(object, 0, 2) == COFF_X86_64)
    return CoffSectionsHoldingBytes(object);
  const uint8_t elf64_little[] = {0x7F, 'E', 'L', 'F', 2, 1};
  if (object.size() < 64 ||
      !std::equal(std::begin(elf64_little), std::end(elf64_little), object.begin())) {
    sections.problem = "the assembler made neither a 64-bit ELF object nor an x86-64 COFF one";
    return sections;
  }
  const uint64_t table = NumberAt(object, 0x28, 8), entry = NumberAt(object, 0x3A, 2),
                 count = NumberAt(object, 0x3C, 2), names = NumberAt(object, 0x3E, 2);
  if (entry != SECTION_HEADER_SIZE || table > object.size() ||
      count > (object.size() - table) / SECTION_HEADER_SIZE || names >= count) {
    sections.problem = "the assembler's object has a section table this cannot read";
    return sections;
  }
  const size_t names_at = table + names * SECTION_HEADER_SIZE;
  const uint64_t names_from = NumberAt(object, names_at + 24, 8),
                 names_size = NumberAt(object, names_at + 32, 8);
  if (names_from > object.size() || names_size > object.size() - names_from) {
    sections.problem = "the assembler's object has section names this cannot read";
    return sections;
  }
  for (size_t index = 0; index < count; ++index) {
    const size_t at = table + index * SECTION_HEADER_SIZE;
    if (IsBookkeeping(NumberAt(object, at + 4, 4)) || NumberAt(object, at + 32, 8) == 0) continue;
    const uint64_t name = NumberAt(object, at, 4);
    std::string text;
    for (uint64_t byte = name; byte < names_size && object[names_from + byte] != 0; ++byte) {
      text += static_cast<char>(object[names_from + byte]);
    }
    // An assembler built to mark what an object uses adds this note to every object it makes.
    if (NumberAt(object, at + 4, 4) == NOTE && text == ".note.gnu.property") continue;
    sections.holding_bytes.push_back(text);
  }
  return sections;
}

}  // namespace stats
