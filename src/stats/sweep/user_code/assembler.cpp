#include "stats/sweep/user_code/assembler.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include "stats/sweep/user_code/object_sections.h"
#include "stats/sweep/user_code/tool_runner.h"
#include "stats/system/files.h"
#include "stats/system/scratch_folder.h"
#include "stats/system/toolchain.h"
#include "stats/text/format.h"

namespace stats {

namespace {

// What the toolchain's tools may use: a kernel is at most a few dozen bytes, so anything near
// these is a text that asks for far more than a kernel (.space 1<<30, a huge .rept).
constexpr int ASSEMBLER_TIME_LIMIT_MS = 10000;
constexpr size_t ASSEMBLER_OUTPUT_LIMIT = 4096;
constexpr size_t ASSEMBLER_FILE_SIZE_LIMIT = 1 << 20;
constexpr size_t ASSEMBLER_MEMORY_LIMIT = 128 << 20;
constexpr size_t MOST_TEXT_BYTES = 4096;

// Runs a tool of the toolchain; empty when it exited with 0, otherwise what it or the system said.
// What it printed goes to `output`; at most a few KiB of either stream is read.
std::string RunToolchain(const std::vector<std::string>& words, const ScratchFolder& folder,
                         std::string* output = nullptr) {
  ToolLimits limits;
  limits.folder = folder.path();
  limits.time_limit_ms = ASSEMBLER_TIME_LIMIT_MS;
  limits.output_limit = ASSEMBLER_OUTPUT_LIMIT;
  limits.file_size_limit = ASSEMBLER_FILE_SIZE_LIMIT;
  limits.memory_limit = ASSEMBLER_MEMORY_LIMIT;
  limits.search_path = true;
  const ToolRun tool = RunTool(words, limits);
  const ChildRun& run = tool.child;
  if (run.outcome == ChildRun::FAILED) return tool.problem + " (it comes with GNU binutils)";
  if (!tool.problem.empty()) return tool.problem;
  if (run.outcome == ChildRun::OVERFLOWED) {
    return run.errors + "\n(cut: " + words[0] + " said more than " +
           std::to_string(ASSEMBLER_OUTPUT_LIMIT) + " bytes)";
  }
  if (output != nullptr) *output = run.output;
  if (Succeeded(run)) return "";
  if (run.ending.past_file_size) {
    return words[0] + " wrote more than " + std::to_string(ASSEMBLER_FILE_SIZE_LIMIT >> 20) +
           " MiB: far more than a kernel";
  }
  return run.errors.empty() ? words[0] + " " + run.ending.words : run.errors;
}

// The assembled bytes, or why they are not a kernel.
std::string ReadText(const std::string& path, std::vector<uint8_t>& bytes) {
  std::string reason;
  const long long size = FileSize(path, reason);
  if (size < 0) return "cannot read what the assembler made: " + reason;
  if (size > static_cast<long long>(MOST_TEXT_BYTES)) {
    return "it assembles to " + std::to_string(size) + " bytes: far more than a kernel";
  }
  const BoundedRead text = ReadBounded(path, MOST_TEXT_BYTES);
  if (text.outcome == BoundedRead::FAILED)
    return "cannot read what the assembler made: " + text.error;
  if (text.outcome == BoundedRead::TOO_LARGE) return "it assembles to far more than a kernel";
  bytes.assign(text.bytes.begin(), text.bytes.end());
  return "";
}

// The assembler's messages, in one pass, with the scratch file's path replaced by the name.
std::string Renamed(const std::string& messages, const std::string& path, const std::string& name) {
  std::string renamed;
  size_t from = 0;
  for (size_t at; (at = messages.find(path, from)) != std::string::npos; from = at + path.size()) {
    renamed.append(messages, from, at - from).append(name);
  }
  renamed.append(messages, from, std::string::npos);
  while (!renamed.empty() && renamed.back() == '\n') renamed.pop_back();
  // A text of many errors gives as many lines; the first few say what is wrong.
  constexpr size_t SHOWN = 400;
  if (renamed.size() > SHOWN) {
    const size_t cut = renamed.rfind('\n', SHOWN);
    const size_t whole = renamed.size();
    renamed.erase(cut == std::string::npos ? SHOWN : cut);
    renamed += "\n(cut; " + std::to_string(whole) + " bytes of messages read)";
  }
  return renamed;
}

// Why the object holds bytes the kernel would not: a section but .text with any, or empty.
std::string BytesElsewhere(const std::string& object_path) {
  const BoundedRead object = ReadBounded(object_path, ASSEMBLER_FILE_SIZE_LIMIT);
  if (object.outcome != BoundedRead::READ) {
    return "cannot read what the assembler made: " +
           (object.outcome == BoundedRead::FAILED ? object.error : "it is too large");
  }
  const ObjectSections sections =
      SectionsHoldingBytes(std::vector<uint8_t>(object.bytes.begin(), object.bytes.end()));
  if (!sections.problem.empty()) return sections.problem;
  for (const std::string& section : sections.holding_bytes) {
    if (section != ".text")
      return "it puts bytes in " + Shown(section) + ", outside the kernel's section (.text)";
  }
  return "";
}

constexpr const char* END_LABEL = "absbench_kernel_end";

// Where the user's code ends in .text, from objdump's symbol table in its ELF or its COFF form:
// an assembler for Windows pads the section to its alignment, and that padding is no kernel's.
long long KernelEnd(const std::string& listing) {
  const std::string name = std::string(" ") + END_LABEL;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.size() < name.size() ||
        line.compare(line.size() - name.size(), name.size(), name) != 0)
      continue;
    const size_t hex = line.rfind("0x");
    return std::strtoll(line.c_str() + (hex == std::string::npos ? 0 : hex + 2), nullptr, 16);
  }
  return -1;
}

// A kernel is instructions, not files: the directive that would read one by its name, or empty.
// The tools are walled in where the system can (system/tool_walls.h), but its programs and
// libraries stay readable to them, so the plain spelling is refused everywhere.
std::string FileDirective(const std::string& instructions) {
  std::string lower(instructions.size(), ' ');
  std::transform(instructions.begin(), instructions.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const char* directive : {".incbin", ".include"}) {
    if (lower.find(directive) != std::string::npos) return directive;
  }
  return "";
}

// Which of the toolchain's tools PATH lacks, and where they come from; empty when none.
std::string ToolsMissing() {
  const std::vector<std::string> needed = {"as", "objdump", "objcopy"};
  const std::vector<std::string> missing = ProgramsMissing(needed);
  if (missing.empty()) return "";
  std::string named;
  for (size_t at = 0; at < missing.size(); ++at) {
    named += (at == 0 ? "" : at + 1 == missing.size() ? " and " : ", ") + missing[at];
  }
  const std::string absent = missing.size() == needed.size() ? "none of them is there"
                             : missing.size() == 1           ? named + " is not there"
                                                             : named + " are not there";
  return "--kernel-asm needs the assembler as, objdump and objcopy on PATH, and " + absent + ": " +
         HowToGet(Toolkit::BINUTILS);
}

}  // namespace

std::string FileRefusedToAssembler(const std::string& messages) {
  // What .incbin says of any file it cannot open, and what .include says of one it may not.
  const std::string not_found = "Error: file not found: ", cannot = "Error: can't open ",
                    denied = " for reading: Permission denied";
  std::istringstream lines(messages);
  for (std::string line; std::getline(lines, line);) {
    if (const size_t at = line.find(not_found); at != std::string::npos)
      return line.substr(at + not_found.size());
    const size_t at = line.find(cannot), from = at + cannot.size();
    if (at != std::string::npos && line.size() >= from + denied.size() &&
        line.compare(line.size() - denied.size(), denied.size(), denied) == 0) {
      return line.substr(from, line.size() - denied.size() - from);
    }
  }
  return "";
}

Assembled AssembleIntelSyntax(const std::string& name, const std::string& instructions) {
  Assembled assembled;
  if (const std::string directive = FileDirective(instructions); !directive.empty()) {
    assembled.problem = directive + " reads a file; a kernel is instructions only";
    return assembled;
  }
  if (const std::string missing = ToolsMissing(); !missing.empty()) {
    assembled.problem = missing;
    return assembled;
  }
  const ScratchFolder folder({"header.s", "kernel.s", "footer.s", "kernel.o", "text.bin"});
  if (!folder.ok()) {
    assembled.problem = folder.Problem("the assembler");
    return assembled;
  }
  // The directives go in a file of their own, so that the messages count the user's lines from 1.
  const std::pair<const char*, std::string> sources[] = {
      {"header.s", ".intel_syntax noprefix\n.text\n"},
      {"kernel.s", instructions + "\n"},
      {"footer.s", std::string(".text\n") + END_LABEL + ":\n"}};
  for (const auto& [file, text] : sources) {
    if (const std::string problem = WriteNewFile(folder / file, text); !problem.empty()) {
      assembled.problem = "cannot write the assembler's source: " + problem;
      return assembled;
    }
  }
  const std::string assembler =
      RunToolchain({"as", "--64", "-o", folder / "kernel.o", folder / "header.s",
                    folder / "kernel.s", folder / "footer.s"},
                   folder);
  if (!assembler.empty()) {
    const std::string refused = FileRefusedToAssembler(assembler);
    std::string unused;
    assembled.problem = !refused.empty() && FileSize(refused, unused) >= 0
                            ? "the assembler may not read " + Shown(refused)
                            : Renamed(assembler, folder / "kernel.s", name);
    return assembled;
  }
  if (const std::string elsewhere = BytesElsewhere(folder / "kernel.o"); !elsewhere.empty()) {
    assembled.problem = elsewhere;
    return assembled;
  }
  std::string relocations;
  const std::string listed =
      RunToolchain({"objdump", "-r", "-t", folder / "kernel.o"}, folder, &relocations);
  if (!listed.empty()) {
    assembled.problem = listed;
    return assembled;
  }
  if (relocations.find("RELOCATION RECORDS") != std::string::npos) {
    assembled.problem =
        "it refers to an address the assembler cannot know (a symbol outside it, or an absolute "
        "address), which a placed copy cannot keep";
    return assembled;
  }
  const std::string copied = RunToolchain(
      {"objcopy", "-O", "binary", "-j", ".text", folder / "kernel.o", folder / "text.bin"}, folder);
  if (!copied.empty()) {
    assembled.problem = copied;
    return assembled;
  }
  assembled.problem = ReadText(folder / "text.bin", assembled.bytes);
  const long long end = KernelEnd(relocations);
  if (assembled.problem.empty() &&
      (end < 0 || end > static_cast<long long>(assembled.bytes.size()))) {
    assembled.problem = "cannot tell where the kernel ends in what the assembler made";
  }
  if (assembled.problem.empty()) assembled.bytes.resize(static_cast<size_t>(end));
  return assembled;
}

}  // namespace stats
