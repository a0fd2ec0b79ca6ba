#include "stats/sweep/assembler.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "stats/child_process.h"

namespace stats {

namespace {

// A folder of its own for the assembler's files, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    char path[] = "/tmp/absbench-stats-asm-XXXXXX";
    if (mkdtemp(path) != nullptr) path_ = path;
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    for (const char* file : {"header.s", "kernel.s", "kernel.o", "text.bin"}) {
      unlink((path_ + "/" + file).c_str());
    }
    if (!path_.empty()) rmdir(path_.c_str());
  }
  bool ok() const { return !path_.empty(); }
  std::string operator/(const std::string& file) const { return path_ + "/" + file; }

 private:
  std::string path_;
};

// Runs a tool of the toolchain; empty when it exited with 0, otherwise what it or the system said.
// What it printed goes to `output`.
std::string RunTool(const std::vector<std::string>& words, std::string* output = nullptr) {
  ChildLimits limits;
  limits.time_limit_ms = 10000;
  const ChildRun run = RunProgram(words, limits, true);
  if (run.outcome == ChildRun::TIMED_OUT) return words[0] + " did not finish within 10 s";
  if (run.outcome != ChildRun::ENDED) return run.failure + " (it comes with GNU binutils)";
  if (output != nullptr) *output = run.output;
  if (WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) return "";
  return run.errors.empty() ? words[0] + " " + DescribeWaitStatus(run.status) : run.errors;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The assembler's messages with the scratch file's path replaced by the kernel's name.
std::string Renamed(std::string messages, const std::string& path, const std::string& name) {
  for (size_t at; (at = messages.find(path)) != std::string::npos;) {
    messages.replace(at, path.size(), name);
  }
  while (!messages.empty() && messages.back() == '\n') messages.pop_back();
  // A text of many errors gives as many lines; the first few say what is wrong.
  constexpr size_t SHOWN = 400;
  if (messages.size() > SHOWN) {
    const size_t cut = messages.rfind('\n', SHOWN);
    const size_t whole = messages.size();
    messages.erase(cut == std::string::npos ? SHOWN : cut);
    messages += "\n(cut; " + std::to_string(whole) + " bytes of messages in all)";
  }
  return messages;
}

}  // namespace

Assembled AssembleIntelSyntax(const std::string& name, const std::string& instructions) {
  Assembled assembled;
  const ScratchFolder folder;
  if (!folder.ok()) {
    assembled.problem = std::string("cannot make a folder for the assembler: ") + strerror(errno);
    return assembled;
  }
  // The directives go in a file of their own, so that the messages count the user's lines from 1.
  std::ofstream(folder / "header.s") << ".intel_syntax noprefix\n.text\n";
  std::ofstream(folder / "kernel.s") << instructions << "\n";
  const std::string assembler =
      RunTool({"as", "--64", "-o", folder / "kernel.o", folder / "header.s", folder / "kernel.s"});
  if (!assembler.empty()) {
    assembled.problem = Renamed(assembler, folder / "kernel.s", name);
    return assembled;
  }
  std::string relocations;
  const std::string listed = RunTool({"objdump", "-r", folder / "kernel.o"}, &relocations);
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
  const std::string copied =
      RunTool({"objcopy", "-O", "binary", "-j", ".text", folder / "kernel.o", folder / "text.bin"});
  if (!copied.empty()) {
    assembled.problem = copied;
    return assembled;
  }
  const std::string text = ReadWhole(folder / "text.bin");
  assembled.bytes.assign(text.begin(), text.end());
  return assembled;
}

}  // namespace stats
