#include "console/text.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstring>
#include <random>
#include <string>

#include "tests/fake_platform.h"

namespace {

std::string Formatted(int32_t value) {
  char buffer[NUMBER_TEXT_SIZE];
  std::memset(buffer, 'x', sizeof buffer);
  FormatSigned(value, buffer);
  return buffer;
}

TEST(FormatSigned, MatchesTheLibraryConversionAtTheEdges) {
  const int32_t edges[] = {
      0,   1,    7,     9,          10,         -1,          -9,          -10,        99,
      100, -100, 12345, 2147483647, 2147483646, -2147483647, -2147483648, 1000000000, -999999999};
  for (int32_t value : edges) EXPECT_EQ(Formatted(value), std::to_string(value)) << value;
}

TEST(FormatSigned, MatchesTheLibraryConversionOnAMillionPseudoRandomValues) {
  std::mt19937 generator(20261208);
  for (int i = 0; i < 1000000; ++i) {
    const auto value = static_cast<int32_t>(generator());
    ASSERT_EQ(Formatted(value), std::to_string(value)) << value;
  }
}

TEST(FormatSigned, NeverWritesPastTheLongestText) {
  char buffer[NUMBER_TEXT_SIZE];
  std::memset(buffer, 'x', sizeof buffer);
  FormatSigned(-2147483647 - 1, buffer);
  EXPECT_STREQ(buffer, "-2147483648");
  for (uint32_t i = 12; i < NUMBER_TEXT_SIZE; ++i) EXPECT_EQ(buffer[i], 'x') << i;
}

TEST(TextLength, EqualsAByteScanForEveryTerminatorPositionAndStartOffset) {
  for (int offset = 0; offset < 4; ++offset) {
    for (int length = 0; length <= 40; ++length) {
      unsigned char storage[4 + 40 + 1 + TEXT_SLACK];
      std::memset(storage, 0xFF, sizeof storage);
      unsigned char* text = storage + offset;
      for (int i = 0; i < length; ++i) text[i] = static_cast<unsigned char>(0x80 + (i * 37) % 128);
      text[length] = 0;
      const auto* chars = reinterpret_cast<const char*>(text);
      EXPECT_EQ(TextLength(chars), std::strlen(chars))
          << "offset " << offset << " length " << length;
    }
  }
}

// A lone 0x01 before the terminator makes the word arithmetic borrow into higher bytes.
TEST(TextLength, UsesOnlyTheFirstZeroWhenABorrowFlagsLaterBytes) {
  const char texts[][8] = {"\x01", "a\x01", "\x01\x01\x01", "\x80\x01", "\x01\x80\x01"};
  for (const char* text : texts) EXPECT_EQ(TextLength(text), std::strlen(text));
}

// Two pages, the second inaccessible; returns the start of the first.
char* PageBeforeAGuardPage(size_t& page) {
#if defined(_WIN32)
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  page = system.dwPageSize;
  auto* bytes = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_COMMIT, PAGE_READWRITE));
  DWORD old_protection;
  if (bytes == nullptr || !VirtualProtect(bytes + page, page, PAGE_NOACCESS, &old_protection)) {
    return nullptr;
  }
  return bytes;
#else
  page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  void* mapping =
      mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) return nullptr;
  auto* bytes = static_cast<char*>(mapping);
  return mprotect(bytes + page, page, PROT_NONE) == 0 ? bytes : nullptr;
#endif
}

TEST(TextLength, StaysInsideATextWhoseSlackEndsAtAnInaccessiblePage) {
  size_t page = 0;
  char* bytes = PageBeforeAGuardPage(page);
  ASSERT_NE(bytes, nullptr);
  for (int length = 0; length < 8; ++length) {
    char* text = bytes + page - TEXT_SLACK - 1 - length;
    std::memset(text, 'a', length);
    text[length] = '\0';
    EXPECT_EQ(TextLength(text), static_cast<uint32_t>(length));
  }
}

TEST(WriteText, WritesTheTextWithoutItsTerminatorInOneCall) {
  ResetFakePlatform();
  const char text[] = "abs5 wobla\r\n\0\0\0";
  EXPECT_EQ(WriteText(text), 12u);
  ASSERT_EQ(Fake().calls.size(), 1u);
  EXPECT_EQ(Fake().calls[0], "write:abs5 wobla\r\n");
}

TEST(WriteText, IssuesAWriteOfLengthZeroForAnEmptyText) {
  ResetFakePlatform();
  const char text[4] = "";
  EXPECT_EQ(WriteText(text), 0u);
  ASSERT_EQ(Fake().calls.size(), 1u);
  EXPECT_EQ(Fake().calls[0], "write:");
}

}  // namespace
