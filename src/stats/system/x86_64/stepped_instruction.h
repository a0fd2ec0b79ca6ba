// The little the trap-flag recorders read of the instruction a step stopped before: its
// prefixes and its opcode's first byte.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace stats {

struct SteppedInstruction {
  const uint8_t* opcode;       // `end` when the prefixes run to the end of the code
  bool repeated = false;       // a REP or REPNE prefix
  bool short_operand = false;  // an operand-size prefix
  bool wide_operand = false;   // a REX prefix with W
};

inline SteppedInstruction ReadPrefixes(const uint8_t* at, const uint8_t* end) {
  constexpr uint8_t LEGACY[] = {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x67, 0xF0};
  SteppedInstruction instruction{end};
  for (; at < end; ++at) {
    if (*at == 0xF2 || *at == 0xF3) {
      instruction.repeated = true;
    } else if (*at == 0x66) {
      instruction.short_operand = true;
    } else if ((*at & 0xF0) == 0x40) {
      instruction.wide_operand = (*at & 0x08) != 0;
    } else if (std::find(std::begin(LEGACY), std::end(LEGACY), *at) == std::end(LEGACY)) {
      break;
    }
  }
  instruction.opcode = at;
  return instruction;
}

// Whether a string instruction with a REP prefix starts at `at`: it traps after every round, each
// time at its own start. Only a jump can otherwise come back to where it starts, and that is not
// a string instruction.
inline bool IsRepeatedString(const uint8_t* at, const uint8_t* end) {
  const SteppedInstruction instruction = ReadPrefixes(at, end);
  const uint8_t* opcode = instruction.opcode;
  // INS, OUTS, MOVS, CMPS, STOS, LODS, SCAS
  return instruction.repeated && opcode < end &&
         ((*opcode >= 0x6C && *opcode <= 0x6F) || (*opcode >= 0xA4 && *opcode <= 0xA7) ||
          (*opcode >= 0xAA && *opcode <= 0xAF));
}

}  // namespace stats
