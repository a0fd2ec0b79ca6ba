#include "console/text.h"

#include <cstring>

#include "platform/platform.h"

uint32_t WriteText(const char* text) { return PlatformWriteOutput(text, TextLength(text)); }

namespace {

uint32_t ReadWord(const char* at) {
  uint32_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// Flags the zero bytes of a little-endian word; only the lowest flag is exact.
uint32_t ZeroByteFlags(uint32_t word) { return (word - 0x01010101u) & ~word & 0x80808080u; }

}  // namespace

uint32_t TextLength(const char* text) {
  const char* p = text;
  uint32_t flags;
  for (;;) {
    if ((flags = ZeroByteFlags(ReadWord(p))) != 0) break;
    p += 4;
    if ((flags = ZeroByteFlags(ReadWord(p))) != 0) break;
    p += 4;
    if ((flags = ZeroByteFlags(ReadWord(p))) != 0) break;
    p += 4;
    if ((flags = ZeroByteFlags(ReadWord(p))) != 0) break;
    p += 4;
  }
  if ((flags & 0x8080u) == 0) {
    flags >>= 16;
    p += 2;
  }
  if ((flags & 0x80u) == 0) ++p;
  return static_cast<uint32_t>(p - text);
}

void FormatSigned(int32_t value, char* buffer) {
  if (value == 0) {
    buffer[0] = '0';
    buffer[1] = '\0';
    return;
  }
  // Unsigned from here on, so the most negative value negates to itself and reads as 2147483648.
  uint32_t magnitude = static_cast<uint32_t>(value);
  char* digits = buffer;
  if (value < 0) {
    *digits++ = '-';
    magnitude = 0u - magnitude;
  }
  char* end = digits;
  while (magnitude > 0) {
    const uint32_t quotient =
        static_cast<uint32_t>((static_cast<uint64_t>(magnitude) * 0xCCCCCCCDu) >> 32) >> 3;
    *end++ = static_cast<char>('0' + (magnitude - quotient * 10));
    magnitude = quotient;
  }
  *end = '\0';
  for (char* first = digits; first < end;) {
    --end;
    const char digit = *end;
    *end = *first;
    *first = digit;
    ++first;
  }
}
