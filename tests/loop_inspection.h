// Reads the timed loops as the linker laid them out in this test program's memory.
#pragma once

#include <cstdint>
#include <cstring>

#include "bench/constants.h"

inline const uint8_t* CodeBytes(const void* procedure) {
  return reinterpret_cast<const uint8_t*>(procedure);
}

// Where an E8 rel32 call at `call` lands.
inline const uint8_t* CallTarget(const uint8_t* call) {
  int32_t displacement;
  std::memcpy(&displacement, call + 1, sizeof displacement);
  return call + 5 + displacement;
}

constexpr size_t LOOP_BODY_SIZE = 12;

// The first loop body (mov eax,ebx; call; sub esi,1; jnz -12) within `window` bytes of `code`.
inline const uint8_t* FindLoopBody(const uint8_t* code, size_t window) {
  for (const uint8_t* p = code; p + LOOP_BODY_SIZE <= code + window; ++p) {
    if (p[0] == 0x8B && p[1] == 0xC3 && p[2] == 0xE8 && p[7] == 0x83 && p[8] == 0xEE &&
        p[9] == 0x01 && p[10] == 0x75 && p[11] == 0xF4) {
      return p;
    }
  }
  return nullptr;
}

// True when [from, to) holds MOV ESI, imm32 with the shipped iteration count.
inline bool LoadsIterationCount(const uint8_t* from, const uint8_t* to) {
  const uint8_t expected[] = {0xBE, 0x00, 0xCA, 0x9A, 0x3B};
  static_assert(ITERATION_COUNT == 0x3B9ACA00, "the expected bytes spell the count");
  for (const uint8_t* p = from; p + sizeof expected <= to; ++p) {
    if (std::memcmp(p, expected, sizeof expected) == 0) return true;
  }
  return false;
}

// Number of E8 calls to `target` that start in [from, to).
inline int CallsTo(const void* target, const uint8_t* from, const uint8_t* to) {
  int calls = 0;
  for (const uint8_t* p = from; p < to; ++p) {
    if (*p == 0xE8 && CallTarget(p) == target) ++calls;
  }
  return calls;
}
