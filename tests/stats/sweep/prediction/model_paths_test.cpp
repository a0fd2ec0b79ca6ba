// The paths recorded through copies of the table's kernels, held against the instructions their
// source writes out one per line, and through code that loops, faults or leaves its bytes.
#include "stats/sweep/prediction/model_paths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>

#include "stats/system/path_recorder.h"

namespace {

using stats::CopyPath;
using stats::Procedure;
using Offsets = std::vector<uint32_t>;

// Each kernel's instructions as its source lists them: one `.byte` line each, with its mnemonic.
struct SourceInstruction {
  uint32_t offset;
  std::vector<uint8_t> bytes;
  std::string mnemonic;
};
std::map<std::string, std::vector<SourceInstruction>> KernelSource() {
  std::map<std::string, std::vector<SourceInstruction>> kernels;
  std::ifstream source(KERNEL_SOURCE);
  std::string kernel;
  uint32_t offset = 0;
  for (std::string line; std::getline(source, line);) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first == "KERNEL_START") {
      words >> kernel;
      offset = 0;
    } else if (first == "KERNEL_TRAILER") {
      kernel.clear();
    } else if (first == ".byte" && !kernel.empty()) {
      SourceInstruction instruction{offset, {}, line.substr(line.find('#') + 2)};
      for (size_t at = line.find("0x"); at < line.find('#'); at = line.find("0x", at + 2)) {
        instruction.bytes.push_back(
            static_cast<uint8_t>(std::stoul(line.substr(at, 4), nullptr, 16)));
      }
      offset += static_cast<uint32_t>(instruction.bytes.size());
      kernels[kernel].push_back(instruction);
    }
  }
  return kernels;
}

// The latency copies' paths, by kernel and pass: the kernel's body, then its glue.
std::map<std::string, std::array<const CopyPath*, 2>> ByKernel(const std::vector<CopyPath>& paths) {
  std::map<std::string, std::array<const CopyPath*, 2>> kernels;
  for (const CopyPath& path : paths) kernels[path.kernel][path.pass] = &path;
  return kernels;
}

Procedure UserKernel(const std::string& name, std::vector<uint8_t> body) {
  const std::vector<uint8_t> trailer = stats::EmptyProcedureCopy().bytes;
  body.insert(body.end(), trailer.begin(), trailer.end());
  return {name, name, body, -1, ResultRegister::EAX, "", "", Procedure::Origin::USER};
}

TEST(CopyPaths, OfTheTableRunTheSourcesInstructionsInOrderAndTheNegOnlyForANegativeOperand) {
  const auto source = KernelSource();
  ASSERT_EQ(source.size(), 12u) << KERNEL_SOURCE;
  const std::vector<CopyPath> paths =
      stats::RecordCopyPaths(stats::TableProcedures(), {stats::SweepMeasure::LATENCY});
  ASSERT_EQ(paths.size(), 24u);
  int branchy = 0;
  for (const auto& [kernel, passes] : ByKernel(paths)) {
    const std::vector<SourceInstruction>& instructions = source.at(kernel);
    const uint32_t body = instructions.back().offset + instructions.back().bytes.size();
    Offsets every;
    for (const SourceInstruction& instruction : instructions) every.push_back(instruction.offset);
    for (const CopyPath* path : passes) {
      ASSERT_EQ(path->why_not, "") << kernel;
      // What ran before the glue: instructions of the source, in its order.
      Offsets in_body;
      for (uint32_t offset : path->offsets) {
        if (offset < body) in_body.push_back(offset);
      }
      EXPECT_TRUE(std::is_sorted(in_body.begin(), in_body.end())) << kernel;
      for (uint32_t offset : in_body) {
        EXPECT_NE(std::find(every.begin(), every.end(), offset), every.end())
            << kernel << ": " << offset << " is not where one of its instructions starts";
      }
      // The glue runs after every body, each of its two-byte instructions once.
      for (uint32_t glue = body; glue < path->bytes.size(); glue += 2) {
        EXPECT_EQ(std::count(path->offsets.begin(), path->offsets.end(), glue), 1) << kernel;
      }
    }
    const Offsets& positive = passes[stats::POSITIVE]->offsets;
    const Offsets& negative = passes[stats::NEGATIVE]->offsets;
    const bool jumps = std::any_of(instructions.begin(), instructions.end(),
                                   [](const auto& i) { return i.mnemonic[0] == 'j'; });
    if (!jumps) {
      EXPECT_EQ(Offsets(positive.begin(), positive.begin() + every.size()), every) << kernel;
      EXPECT_EQ(Offsets(negative.begin(), negative.begin() + every.size()), every) << kernel;
      continue;
    }
    // The operand 1 jumps over the NEG, the operand -1 runs it: every instruction, in order.
    ++branchy;
    EXPECT_EQ(Offsets(negative.begin(), negative.begin() + every.size()), every) << kernel;
    EXPECT_EQ(negative.size(), positive.size() + 2) << kernel << ": the NEG and the glue's NEG";
    EXPECT_EQ(instructions.back().mnemonic, "neg eax") << kernel;
    EXPECT_EQ(std::count(positive.begin(), positive.end(), instructions.back().offset), 0)
        << kernel;
  }
  EXPECT_EQ(branchy, 7);
  const auto by_kernel = ByKernel(paths);
  EXPECT_EQ(by_kernel.at("abs2")[stats::POSITIVE]->offsets, (Offsets{0, 2}));
  EXPECT_EQ(by_kernel.at("abs2")[stats::NEGATIVE]->offsets, (Offsets{0, 2, 4, 6}));
  EXPECT_EQ(by_kernel.at("abs4")[stats::POSITIVE]->offsets, (Offsets{0, 2, 5, 7, 9}))
      << "its result moved from ECX by the glue";
}

TEST(CopyPaths, FollowAShortLoopToItsEndAndCutALongOneAtTheBound) {
  const std::vector<Procedure> kernels = {
      UserKernel("thrice", {0xB9, 0x03, 0, 0, 0, 0xFF, 0xC9, 0x75, 0xFC}),  // mov ecx,3; dec; jnz
      UserKernel("long", {0xB9, 0xA0, 0x86, 0x01, 0, 0xFF, 0xC9, 0x75, 0xFC}),
      UserKernel("forever", {0xEB, 0xFE})};
  const std::vector<CopyPath> paths =
      stats::RecordCopyPaths(kernels, {stats::SweepMeasure::THROUGHPUT});
  const auto by_kernel = ByKernel(paths);
  // The glue MOV EAX,EBX first, then the loop from byte 2.
  EXPECT_EQ(by_kernel.at("thrice")[stats::POSITIVE]->offsets, (Offsets{0, 2, 7, 9, 7, 9, 7, 9}));
  EXPECT_EQ(by_kernel.at("thrice")[stats::POSITIVE]->why_not, "");
  for (const char* kernel : {"long", "forever"}) {
    for (const CopyPath* path : by_kernel.at(kernel)) {
      EXPECT_EQ(path->why_not, "its path runs more than 1000 instructions") << kernel;
      EXPECT_EQ(path->offsets.size(), stats::PATH_BOUND) << kernel;
    }
  }
}

TEST(CopyPaths, SayWhyWhenTheCodeFaultsTrapsOrLeavesItsBytesAndRecordTheOthersStill) {
  const std::vector<Procedure> kernels = {
      UserKernel("ud2", {0x0F, 0x0B}), UserKernel("int3", {0xCC}),
      UserKernel("away", {0xEB, 0x10}),  // onto the filler past the RET
      UserKernel("neg", {0xF7, 0xD8})};
  const std::vector<CopyPath> paths =
      stats::RecordCopyPaths(kernels, {stats::SweepMeasure::LATENCY});
  const auto by_kernel = ByKernel(paths);
  EXPECT_EQ(by_kernel.at("ud2")[0]->why_not,
            "its copy raised SIGILL (Illegal instruction) when its path was recorded");
  EXPECT_EQ(by_kernel.at("int3")[0]->why_not.rfind("its copy raised SIGTRAP (", 0), 0u);
  EXPECT_EQ(by_kernel.at("away")[0]->why_not, "its path leaves its own bytes");
  EXPECT_EQ(by_kernel.at("neg")[stats::NEGATIVE]->offsets, (Offsets{0, 2}));
  EXPECT_EQ(by_kernel.at("neg")[stats::NEGATIVE]->why_not, "");
}

TEST(CopyPaths, GiveAStringInstructionWithARepPrefixOnceForAllItsRoundsAndAJumpToItselfEachTime) {
  const std::vector<Procedure> kernels = {
      // mov rsi, rsp; mov ecx, 3; rep lodsb
      UserKernel("rep", {0x48, 0x89, 0xE6, 0xB9, 0x03, 0, 0, 0, 0xF3, 0xAC}),
      // mov ecx, 3; loop $
      UserKernel("loop", {0xB9, 0x03, 0, 0, 0, 0xE2, 0xFE})};
  const std::vector<CopyPath> paths =
      stats::RecordCopyPaths(kernels, {stats::SweepMeasure::THROUGHPUT});
  const auto by_kernel = ByKernel(paths);
  EXPECT_EQ(by_kernel.at("rep")[stats::POSITIVE]->offsets, (Offsets{0, 2, 5, 10}));
  EXPECT_EQ(by_kernel.at("loop")[stats::POSITIVE]->offsets, (Offsets{0, 2, 7, 7, 7}));
}

// MXCSR and the x87 control word set to 0, every exception unmasked.
const std::vector<uint8_t> UNMASKS = {0x6A, 0x00, 0x0F, 0xAE, 0x14, 0x24,  // push 0; ldmxcsr [rsp]
                                      0xD9, 0x2C, 0x24, 0x58};             // fldcw [rsp]; pop rax
// 0/0 with SSE, then with the x87 (whose fault waits for the FSTP).
const std::vector<uint8_t> SSE_DIVIDES = {0x0F, 0x57, 0xC0, 0xF3, 0x0F, 0x5E, 0xC0};
const std::vector<uint8_t> X87_DIVIDES = {0xD9, 0xEE, 0xD8, 0xF0, 0xDD, 0xD8};

// pushfq; or dword ptr [rsp], 0x40000; popfq: the alignment-check flag set, then an access that
// it makes fault.
const std::vector<uint8_t> CHECKS_ALIGNMENT = {0x9C, 0x81, 0x0C, 0x24, 0, 0, 4, 0, 0x9D};
const std::vector<uint8_t> UNALIGNED = {0x8B, 0x44, 0x24, 0x01};  // mov eax, [rsp+1]

TEST(CopyPaths, OfACopyAreNotHarmedByTheFloatingPointStateOrAlignmentCheckOneBeforeItLeft) {
  std::vector<uint8_t> checks_and_faults = CHECKS_ALIGNMENT;
  checks_and_faults.insert(checks_and_faults.end(), {0x0F, 0x0B});  // ud2
  const std::vector<CopyPath> paths = stats::RecordCopyPaths(
      {UserKernel("unmasks", UNMASKS), UserKernel("sse", SSE_DIVIDES),
       UserKernel("x87", X87_DIVIDES), UserKernel("checks", CHECKS_ALIGNMENT),
       UserKernel("unaligned", UNALIGNED), UserKernel("checks_faults", checks_and_faults),
       UserKernel("unaligned_too", UNALIGNED)},
      {stats::SweepMeasure::LATENCY});
  for (const CopyPath& path : paths) {
    EXPECT_EQ(path.why_not,
              path.kernel == "checks_faults"
                  ? "its copy raised SIGILL (Illegal instruction) when its path was recorded"
                  : "")
        << path.kernel << " " << stats::PASS_NAMES[path.pass];
  }
  EXPECT_EQ(ByKernel(paths).at("x87")[stats::POSITIVE]->offsets, (Offsets{0, 2, 4}));
}

TEST(CopyPaths, BlameOnlyTheCopyThatEndedOrHeldUpItsRecordingAndRecordTheLaterOnesStill) {
  const std::vector<Procedure> kernels = {
      UserKernel("exits", {0xB8, 0xE7, 0, 0, 0, 0x31, 0xFF, 0x0F, 0x05}),  // exit_group(0)
      UserKernel("calls", {0xB8, 0x27, 0, 0, 0, 0x0F, 0x05}),              // getpid()
      // pushfq; and qword ptr [rsp], -0x101; popfq; jmp $: the trap flag off, and on forever
      UserKernel("spins", {0x9C, 0x48, 0x81, 0x24, 0x24, 0xFF, 0xFE, 0xFF, 0xFF, 0x9D, 0xEB, 0xFE}),
      UserKernel("neg", {0xF7, 0xD8}), stats::EmptyProcedureCopy()};
  const auto start = std::chrono::steady_clock::now();
  const std::vector<CopyPath> paths =
      stats::RecordCopyPaths(kernels, {stats::SweepMeasure::LATENCY});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  const auto by_kernel = ByKernel(paths);
  for (stats::Pass pass : {stats::POSITIVE, stats::NEGATIVE}) {
    EXPECT_EQ(by_kernel.at("exits")[pass]->why_not,
              "the process recording its path exited with status 0");
#if !defined(__SANITIZE_ADDRESS__)  // under it, no filter
    EXPECT_EQ(by_kernel.at("calls")[pass]->why_not,
              "its copy made the system call getpid (39) when its path was recorded");
#endif
    EXPECT_EQ(by_kernel.at("spins")[pass]->why_not,
              "its copy ran 0.2 s of processor time without an end when its path was recorded");
    EXPECT_EQ(by_kernel.at("neg")[pass]->why_not, "");
    EXPECT_EQ(by_kernel.at("EmptyProcedure")[pass]->why_not, "") << "the glue, recorded last";
  }
  EXPECT_EQ(by_kernel.at("neg")[stats::NEGATIVE]->offsets, (Offsets{0, 2}));
}

}  // namespace
