// Console text: every byte of the report goes out through WriteText.
#pragma once

#include <cstdint>

// Room for the longest number text ("-2147483648" and its terminator) and slack behind it.
constexpr uint32_t NUMBER_TEXT_SIZE = 20;

// TextLength reads whole 4-byte words, so every text keeps three readable bytes after its
// terminator. Declaring texts through this macro makes that slack part of the text's own storage.
constexpr uint32_t TEXT_SLACK = 3;
#define STATIC_TEXT(name, literal) const char name[sizeof(literal) + TEXT_SLACK] = literal

uint32_t WriteText(const char* text);
uint32_t TextLength(const char* text);
void FormatSigned(int32_t value, char* buffer);
