// A user's kernel as Intel-syntax text, turned into bytes by the GNU assembler that the toolchain
// already brings (as, then objcopy for the bytes of .text).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stats {

struct Assembled {
  std::vector<uint8_t> bytes;
  std::string problem;  // empty when assembled: otherwise the assembler's own words, or why not
};

// `instructions` separated by ';' or newlines, 64-bit mode. `name` stands for the source file in
// the assembler's messages.
Assembled AssembleIntelSyntax(const std::string& name, const std::string& instructions);

// The file the assembler's `messages` say it could not read, from its first such line; empty when
// none does. Its two forms: "file not found: PATH" and "can't open PATH for reading: Permission
// denied".
std::string FileRefusedToAssembler(const std::string& messages);

}  // namespace stats
