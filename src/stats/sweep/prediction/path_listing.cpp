#include "stats/sweep/prediction/path_listing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>

namespace stats {

namespace {

// INT3s, as many as the longest instruction, of which an unfinished one takes at most all but one.
constexpr size_t FILLER = 15;
constexpr uint8_t INT3 = 0xCC;
constexpr const char* ENCODING = "# encoding: [";

// "0x79,A" as bytes, a letter standing for a byte a fixup fills in (any byte matches it).
std::vector<std::optional<uint8_t>> EncodingOf(const std::string& list) {
  std::vector<std::optional<uint8_t>> bytes;
  std::istringstream items(list);
  for (std::string item; std::getline(items, item, ',');) {
    if (item.rfind("0x", 0) == 0) {
      bytes.emplace_back(static_cast<uint8_t>(std::strtoul(item.c_str() + 2, nullptr, 16)));
    } else {
      bytes.emplace_back(std::nullopt);
    }
  }
  return bytes;
}

bool MatchesAt(const std::vector<uint8_t>& stream, size_t at,
               const std::vector<std::optional<uint8_t>>& encoding) {
  if (encoding.empty() || at + encoding.size() > stream.size()) return false;
  for (size_t i = 0; i < encoding.size(); ++i) {
    if (encoding[i] && *encoding[i] != stream[at + i]) return false;
  }
  return true;
}

// Whether bytes [from, to) are all instruction prefixes: legacy ones and REX.
bool IsPrefixRun(const std::vector<uint8_t>& stream, size_t from, size_t to) {
  static const std::string LEGACY = "\x26\x2E\x36\x3E\x64\x65\x66\x67\xF0\xF2\xF3";
  for (size_t at = from; at < to; ++at) {
    const bool rex = (stream[at] & 0xF0) == 0x40;
    if (!rex && LEGACY.find(static_cast<char>(stream[at])) == std::string::npos) return false;
  }
  return true;
}

// Tabs and runs of blanks as one space, none at the ends: "orl %eax, %eax".
std::string Tidy(const std::string& text) {
  std::string tidy;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\t';
    if (blank && (tidy.empty() || tidy.back() == ' ')) continue;
    tidy += blank ? ' ' : c;
  }
  while (!tidy.empty() && tidy.back() == ' ') tidy.pop_back();
  return tidy;
}

}  // namespace

std::string DisassemblerInput(const std::vector<std::vector<uint8_t>>& copies) {
  std::string hex;
  for (const std::vector<uint8_t>& copy : copies) {
    std::vector<uint8_t> line = copy;
    line.insert(line.end(), FILLER, INT3);
    for (uint8_t byte : line) {
      char text[8];
      std::snprintf(text, sizeof text, "0x%02x ", byte);
      hex += text;
    }
    hex += "\n";
  }
  return hex;
}

std::vector<Instructions> ReadListing(const std::string& listing,
                                      const std::vector<std::vector<uint8_t>>& copies) {
  std::vector<uint8_t> stream;
  std::vector<size_t> starts;
  for (const std::vector<uint8_t>& copy : copies) {
    starts.push_back(stream.size());
    stream.insert(stream.end(), copy.begin(), copy.end());
    stream.insert(stream.end(), FILLER, INT3);
  }
  starts.push_back(stream.size());
  std::vector<Instructions> read(copies.size());
  size_t at = 0, copy = 0;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    const size_t marker = line.find(ENCODING);
    const size_t start = line.find_first_not_of(" \t");
    if (marker == std::string::npos || start == marker || copies.empty()) continue;
    const size_t list = marker + std::string(ENCODING).size();
    const auto encoding = EncodingOf(line.substr(list, line.find(']', list) - list));
    while (copy + 1 < copies.size() && starts[copy + 1] <= at) ++copy;
    // Only this copy and its filler: the same bytes come again in other copies. Once the copy's
    // body is read, what is left of the filler may have been skipped, so the next copy may follow.
    const bool in_filler = at >= starts[copy] + copies[copy].size();
    const size_t window = starts[std::min(copy + (in_filler ? 2 : 1), copies.size())];
    size_t found = at;
    while (found < window && !MatchesAt(stream, found, encoding)) ++found;
    // Not there: re-encoded otherwise, but still the instruction read where the last one ended.
    // After prefixes only: a re-encoding that leaves out prefixes which do nothing.
    const bool here = found == window || IsPrefixRun(stream, at, found);
    const size_t placed = here ? at : found;
    const size_t next = found == window ? at + 1 : found + encoding.size();
    at = next;
    size_t owner = copy;
    while (owner + 1 < copies.size() && starts[owner + 1] <= placed) ++owner;
    // One that runs past its copy's end, into the filler, is not an instruction of the copy.
    if (next <= starts[owner] + copies[owner].size()) {
      read[owner][static_cast<uint32_t>(placed - starts[owner])] =
          Tidy(line.substr(start, marker - start));
    }
  }
  return read;
}

std::vector<std::string> StraightSequence(const Instructions& instructions,
                                          const std::vector<uint32_t>& path, std::string& why_not) {
  std::vector<std::string> sequence;
  for (uint32_t offset : path) {
    const auto instruction = instructions.find(offset);
    if (instruction == instructions.end()) {
      why_not = "the disassembler does not know the instruction at byte " + std::to_string(offset) +
                " of its copy";
      return {};
    }
    sequence.push_back(instruction->second);
  }
  return sequence;
}

ModelRegions RegionsOf(const std::vector<std::string>& names,
                       const std::vector<std::vector<std::string>>& sequences) {
  ModelRegions regions;
  int line = 0;
  for (size_t at = 0; at < names.size(); ++at) {
    regions.text += "# LLVM-MCA-BEGIN " + names[at] + "\n";
    const int first = ++line;
    for (const std::string& instruction : sequences[at]) {
      regions.text += instruction + "\n";
      ++line;
    }
    regions.text += "# LLVM-MCA-END\n";
    regions.names.push_back(names[at]);
    regions.lines.emplace_back(first, ++line);
  }
  return regions;
}

int BlamedRegion(const ModelRegions& regions, const std::string& errors, std::string& why) {
  std::istringstream lines(errors);
  for (std::string line; std::getline(lines, line);) {
    // "FILE:5:2: error: invalid instruction mnemonic 'foo'"
    const size_t error = line.find(": error: ");
    const size_t colon = line.rfind(':', error == std::string::npos ? 0 : error - 1);
    const size_t before = colon == std::string::npos ? colon : line.rfind(':', colon - 1);
    if (error != std::string::npos && before != std::string::npos) {
      const int number = std::atoi(line.c_str() + before + 1);
      for (size_t region = 0; region < regions.lines.size(); ++region) {
        if (number > regions.lines[region].first && number < regions.lines[region].second) {
          why = "the model does not read it: " + Tidy(line.substr(error + 9));
          return static_cast<int>(region);
        }
      }
    }
    // "note: instruction: \tvpaddd\t%zmm0, %zmm1, %zmm2", after an unsupported one
    const std::string note = "note: instruction: ";
    if (line.rfind(note, 0) != 0) continue;
    const std::string instruction = Tidy(line.substr(note.size()));
    std::istringstream text(regions.text);
    int number = 0;
    for (std::string source; std::getline(text, source);) {
      ++number;
      if (source != instruction) continue;
      for (size_t region = 0; region < regions.lines.size(); ++region) {
        if (number > regions.lines[region].first && number < regions.lines[region].second) {
          why = "the model does not know " + instruction;
          return static_cast<int>(region);
        }
      }
    }
  }
  return -1;
}

}  // namespace stats
