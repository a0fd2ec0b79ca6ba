// The sections of an object the assembler made, read from its headers (ELF, or COFF where the
// assembler writes Windows objects): a kernel's bytes are its .text alone, and bytes anywhere else
// would be dropped without a word.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stats {

struct ObjectSections {
  std::vector<std::string> holding_bytes;  // in the object's order; the symbols, names and
                                           // relocations the assembler adds are not counted
  std::string problem;                     // empty when read: otherwise why it could not be
};

// A 64-bit little-endian ELF object, or an x86-64 COFF one, as the assembler writes for x86-64.
ObjectSections SectionsHoldingBytes(const std::vector<uint8_t>& object);

}  // namespace stats
