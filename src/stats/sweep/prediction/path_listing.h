// From a recorded path to what llvm-mca reads: the copies' bytes for llvm-mc, its disassembly read
// back into each copy's instructions by offset, the path as a straight sequence of those
// instructions, and the code regions of many sequences, with the one llvm-mca's errors blame.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace stats {

// Every copy on a line of hex bytes for llvm-mc --disassemble, each followed by filler that ends
// any instruction the copy leaves unfinished, so that the next copy is read from its first byte.
std::string DisassemblerInput(const std::vector<std::vector<uint8_t>>& copies);

// Per copy, its instructions by offset, read from llvm-mc --show-encoding's listing of
// DisassemblerInput(copies): each instruction is placed where its encoding matches the bytes of
// its copy, so bytes llvm-mc could not read have no instruction; one re-encoded otherwise (fewer
// prefixes, a shorter displacement) is placed where the one before it ended.
using Instructions = std::map<uint32_t, std::string>;
std::vector<Instructions> ReadListing(const std::string& listing,
                                      const std::vector<std::vector<uint8_t>>& copies);

// The instructions at `path`'s offsets, in its order; empty with `why_not` said when one of them
// was not read.
std::vector<std::string> StraightSequence(const Instructions& instructions,
                                          const std::vector<uint32_t>& path, std::string& why_not);

struct ModelRegions {
  std::string text;  // for llvm-mca, one code region per sequence
  std::vector<std::string> names;
  std::vector<std::pair<int, int>> lines;  // each region's first and last line
};
ModelRegions RegionsOf(const std::vector<std::string>& names,
                       const std::vector<std::vector<std::string>>& sequences);

// The region llvm-mca's `errors` blame, by line or by the instruction quoted, or -1; `why` gets
// the reason in words.
int BlamedRegion(const ModelRegions& regions, const std::string& errors, std::string& why);

}  // namespace stats
