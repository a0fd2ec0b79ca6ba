// The linked program as the loader sees it: no memory both writable and executable.
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ReadFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

template <typename Header, typename ProgramHeader>
std::vector<ProgramHeader> ProgramHeaders(const std::string& image) {
  Header header;
  std::memcpy(&header, image.data(), sizeof header);
  std::vector<ProgramHeader> headers(header.e_phnum);
  for (size_t i = 0; i < headers.size(); ++i) {
    std::memcpy(&headers[i], image.data() + header.e_phoff + i * header.e_phentsize,
                sizeof(ProgramHeader));
  }
  return headers;
}

template <typename Header, typename ProgramHeader>
void ExpectNoWritableExecutableMemory(const std::string& image) {
  bool has_stack_header = false;
  for (const ProgramHeader& segment : ProgramHeaders<Header, ProgramHeader>(image)) {
    if (segment.p_type == PT_LOAD) {
      EXPECT_FALSE((segment.p_flags & PF_W) && (segment.p_flags & PF_X))
          << "a loaded segment at 0x" << std::hex << segment.p_vaddr
          << " is writable and executable";
    }
    if (segment.p_type == PT_GNU_STACK) {
      has_stack_header = true;
      EXPECT_EQ(segment.p_flags & PF_X, 0u) << "the stack is executable";
    }
  }
  EXPECT_TRUE(has_stack_header) << "without PT_GNU_STACK the loader may make the stack executable";
}

TEST(LinkedProgram, HasNoMemoryThatIsWritableAndExecutable) {
  const std::string image = ReadFile(ABSBENCH_PATH);
  ASSERT_GT(image.size(), size_t{EI_NIDENT});
  ASSERT_EQ(image.compare(0, SELFMAG, ELFMAG), 0);
  if (image[EI_CLASS] == ELFCLASS64) {
    ExpectNoWritableExecutableMemory<Elf64_Ehdr, Elf64_Phdr>(image);
  } else {
    ExpectNoWritableExecutableMemory<Elf32_Ehdr, Elf32_Phdr>(image);
  }
}

}  // namespace
