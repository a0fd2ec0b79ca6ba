#include "stats/sweep/user_code/user_kernel.h"

#include <algorithm>

#include "stats/sweep/placed/procedures.h"
#include "stats/sweep/user_code/assembler.h"
#include "stats/text/format.h"

namespace stats {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string NameOk(const std::string& name, const std::vector<std::string>& taken) {
  const bool name_ok =
      !name.empty() && name.size() <= 16 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_';
      });
  if (!name_ok)
    return "kernel name " + Quoted(name, '\'') + ": use 1 to 16 letters, digits or underscores";
  if (std::find(taken.begin(), taken.end(), name) != taken.end()) {
    return "kernel name " + Quoted(name, '\'') +
           " is already taken; every kernel needs its own name";
  }
  return "";
}

std::string HexBytes(const std::string& name, const std::string& hex, std::vector<uint8_t>& bytes) {
  if (!std::all_of(hex.begin(), hex.end(), [](char c) { return HexDigit(c) >= 0; })) {
    return "kernel " + name + ": " + Quoted(hex, '\'') + " is not hexadecimal bytes";
  }
  if (hex.size() % 2 != 0) return "kernel " + name + ": an odd number of hex digits";
  for (size_t i = 0; i < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1])));
  }
  return "";
}

// The text on one line, for the table: newlines become "; ".
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) line += c == '\n' ? std::string("; ") : std::string(1, c);
  return line;
}

}  // namespace

std::variant<Procedure, std::string> ParseUserKernel(const UserKernelArgument& given,
                                                     const std::vector<std::string>& taken) {
  const std::string& argument = given.argument;
  const size_t equals = argument.find('=');
  if (equals == std::string::npos) {
    return std::string(given.assembly ? "--kernel-asm needs NAME=INSTRUCTIONS"
                                      : "--kernel needs NAME=HEX") +
           ", not " + Quoted(argument, '\'');
  }
  const std::string name = argument.substr(0, equals), text = argument.substr(equals + 1);
  if (const std::string problem = NameOk(name, taken); !problem.empty()) return problem;
  Procedure kernel{name, name, {}, -1, ResultRegister::EAX, "", "", Procedure::Origin::USER};
  if (given.assembly) {
    Assembled assembled = AssembleIntelSyntax(name, text);
    if (!assembled.problem.empty()) return "kernel " + name + ": " + assembled.problem;
    kernel.bytes = std::move(assembled.bytes);
    kernel.words = name + " (" + OneLine(text) + ")";
    kernel.assembly = text;
  } else if (const std::string problem = HexBytes(name, text, kernel.bytes); !problem.empty()) {
    return problem;
  }
  if (kernel.bytes.size() > MAX_USER_KERNEL_BYTES) {
    return "kernel " + name + ": " + std::to_string(kernel.bytes.size()) + " bytes; at most " +
           std::to_string(MAX_USER_KERNEL_BYTES) + " before the trailer";
  }
  // The empty procedure is the common trailer alone, as linked.
  const std::vector<uint8_t> trailer = EmptyProcedureCopy().bytes;
  kernel.bytes.insert(kernel.bytes.end(), trailer.begin(), trailer.end());
  return kernel;
}

}  // namespace stats
