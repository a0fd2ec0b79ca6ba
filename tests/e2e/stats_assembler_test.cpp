// The assembler runs on what a user typed, so its run is bounded in time, output, memory and file
// size, it reads no file but its own, and its scratch folder is its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/child_process.h"

namespace {

#ifdef SWEEP_AVAILABLE
using std::chrono::seconds;

constexpr long ASSEMBLING_MEMORY_KB = 200 * 1024;

// absbench-stats --sweep with one kernel as text, through sh for its environment and limits.
std::vector<std::string> WithKernel(const std::string& text, const std::string& shell_first = "") {
  return {"/bin/sh", "-c", shell_first + " exec \"$0\" --sweep --calls 50 --kernel-asm \"$1\"",
          STATS_PATH, "k=" + text};
}

TEST(AssemblerBounds, AHugeOrEndlessTextEndsQuicklyInLittleMemoryWithTheAssemblersFirstWords) {
  const struct {
    std::string text, said;
  } huge[] = {
      {".rept 300000; frob; .endr", "k:1: Error: no such instruction: `frob'"},
      {".space 1<<30", "kernel k: "},
  };
  for (const auto& kernel : huge) {
    const FinishedRun run = RunCommand(WithKernel(kernel.text), Input::DEV_NULL, seconds(60));
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 2) << kernel.text;
    EXPECT_LT(run.took, seconds(15)) << kernel.text;
    EXPECT_LT(run.peak_memory_kb, ASSEMBLING_MEMORY_KB) << kernel.text;
    EXPECT_NE(run.errors.find(kernel.said), std::string::npos) << run.errors;
    EXPECT_LT(run.errors.size(), 1000u) << "the messages are bounded";
    EXPECT_EQ(run.output, "") << "something was timed";
  }
}

TEST(AssemblerBounds, RefusesTheDirectivesThatReadFilesByName) {
  for (const std::string directive : {".incbin", ".include", ".INCBIN"}) {
    const FinishedRun run =
        RunCommand(WithKernel(directive + " \"/etc/passwd\""), Input::DEV_NULL, seconds(30));
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 2) << directive;
    EXPECT_NE(run.errors.find("reads a file; a kernel is instructions only"), std::string::npos)
        << run.errors;
  }
}

// Spellings the text check cannot see: the assembler itself is walled in, and says whose file.
TEST(AssemblerBounds, AFileReadThroughAnExpansionIsRefusedNamingTheFileAndNothingOfItShown) {
  for (const std::string text : {".irp d,incbin; .\\d \"/etc/passwd\"; .endr",
                                 ".macro m d; .\\d \"/etc/passwd\"; .endm; m incbin",
                                 ".irp d,include; .\\d \"/etc/passwd\"; .endr"}) {
    const FinishedRun run = RunCommand(WithKernel(text), Input::DEV_NULL, seconds(30));
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 2) << text << run.errors;
    EXPECT_NE(run.errors.find("kernel k: the assembler may not read /etc/passwd\n"),
              std::string::npos)
        << text << run.errors;
    EXPECT_EQ(run.errors.find("root:"), std::string::npos) << "the file's lines were shown";
    EXPECT_EQ(run.output, "") << "something was timed";
  }
}

TEST(AssemblerBounds, WithoutTheWallTheHeaderSaysSoAndTheDirectivesAreStillRefusedByName) {
  const std::string unwalled = "export ABSBENCH_NO_LANDLOCK=1;";
  const FinishedRun refused =
      RunCommand(WithKernel(".incbin \"/etc/passwd\"", unwalled), Input::DEV_NULL, seconds(30));
  EXPECT_TRUE(WIFEXITED(refused.status) && WEXITSTATUS(refused.status) == 2) << refused.errors;
  EXPECT_NE(refused.errors.find("reads a file; a kernel is instructions only"), std::string::npos)
      << refused.errors;
  std::vector<std::string> sweep = WithKernel("neg eax", unwalled);
  sweep[2] += " --rounds 2";
  const FinishedRun run = RunCommand(sweep, Input::DEV_NULL, seconds(60));
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.errors;
  EXPECT_NE(run.output.find("\ncontainment: system-call filter, process group, limits; the tools "
                            "can read files\n"),
            std::string::npos)
      << run.output;
}

TEST(AssemblerBounds, BytesPutInAnySectionButTheKernelsAreRefusedNamingIt) {
  const struct {
    std::string text, section;
  } elsewhere[] = {
      {"neg eax; .data; neg eax", ".data"},
      {"neg eax; .pushsection .rodata; .byte 1; .popsection", ".rodata"},
      {".bss; .space 8; .text; neg eax", ".bss"},
      {".section .mine\x1B"
       ", \"ax\"; nop; .text; neg eax",
       ".mine\\x1B"},
      {".ident \"hello\"; neg eax", ".comment"},
  };
  for (const auto& kernel : elsewhere) {
    const FinishedRun run = RunCommand(WithKernel(kernel.text), Input::DEV_NULL, seconds(30));
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 2) << kernel.text;
    EXPECT_NE(run.errors.find("kernel k: it puts bytes in " + kernel.section +
                              ", outside the kernel's section (.text)"),
              std::string::npos)
        << kernel.text << run.errors;
    EXPECT_EQ(run.output, "") << "something was timed";
  }
}

TEST(AssemblerBounds, WorksInTmpdirAndWhenNoFolderCanBeMadeThereRemovesNothingElse) {
  // Where the scratch files would stand if a folder that was never made were cleaned up.
  const std::string stray = "/text.bin";
  struct stat facts;
  const bool may_plant = geteuid() == 0 && stat(stray.c_str(), &facts) != 0;
  if (may_plant) std::fclose(std::fopen(stray.c_str(), "w"));
  const FinishedRun run = RunCommand(WithKernel("neg eax", "export TMPDIR=/no-such-folder-here;"),
                                     Input::DEV_NULL, seconds(30));
  EXPECT_NE(run.errors.find("cannot make a folder for the assembler in /no-such-folder-here: "),
            std::string::npos)
      << run.errors;
  if (may_plant) {
    EXPECT_EQ(stat(stray.c_str(), &facts), 0) << "it unlinked " << stray;
    std::remove(stray.c_str());
  }
}

TEST(AssemblerBounds, ASourceThatCannotBeWrittenWholeIsNeverAssembled) {
  // No file may grow past 512 bytes, and the signal that says so is ignored: writes fail instead.
  // The messages still fit; the source, with its long comment, does not.
  const FinishedRun run =
      RunCommand(WithKernel("neg eax # " + std::string(1000, 'x'), "ulimit -f 1; trap '' XFSZ;"),
                 Input::DEV_NULL, seconds(30));
  EXPECT_FALSE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0);
  EXPECT_NE(run.errors.find("cannot write the assembler's source: File too large"),
            std::string::npos)
      << run.errors;
  EXPECT_EQ(run.output, "") << "a cut source was assembled and timed";
}

TEST(AssemblerBounds, CtrlCWhileTheAssemblerWorksRemovesItsFolder) {
  char tmpdir[] = "/tmp/absbench-tmpdir-XXXXXX";
  ASSERT_NE(mkdtemp(tmpdir), nullptr);
  // Nested repetitions of nothing keep the assembler busy for seconds in little memory.
  const pid_t stats = StartQuietly(WithKernel(".rept 10000; .rept 10000; .endr; .endr",
                                              "export TMPDIR=" + std::string(tmpdir) + ";"));
  for (int wait = 0; wait < 200 && FilesIn(tmpdir).empty(); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(FilesIn(tmpdir).size(), 1u) << "the assembler's folder never appeared in TMPDIR";
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  kill(stats, SIGINT);
  const int status = WaitOrKill(stats, seconds(10));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status;
  EXPECT_EQ(FilesIn(tmpdir), std::vector<std::string>{}) << "the folder was left behind";
  rmdir(tmpdir);
}
// A kernel's comment with an escape sequence and a Latin-1 byte, and a record's name with one.
TEST(UserText, IsShownInTheTableTheRecordTheChartAndTheComparisonAndNeverObeyed) {
  const std::string directory = TemporaryDirectory(), record = directory + "/a\x1B[2J.json";
  const FinishedRun sweep =
      RunCommand(StatsCommand({"--sweep", "--rounds", "2", "--calls", "1000", "--kernel-asm",
                               "esc=test eax, eax # \x1B[31mred\xE9", "--json", record, "--svg",
                               directory + "/sweep.svg"}),
                 Input::DEV_NULL, seconds(60));
  ASSERT_TRUE(WIFEXITED(sweep.status) && WEXITSTATUS(sweep.status) == 0) << sweep.errors;
  EXPECT_NE(sweep.output.find("esc (test eax, eax # \\x1B[31mred\\xE9)"), std::string::npos)
      << sweep.output;
  const FinishedRun compare =
      RunCommand(StatsCommand({"--compare", record, record, "--svg", directory + "/compare.svg"}),
                 Input::DEV_NULL, seconds(60));
  EXPECT_TRUE(WIFEXITED(compare.status) && WEXITSTATUS(compare.status) == 0) << compare.errors;
  EXPECT_NE(compare.output.find("/a\\x1B[2J.json: "), std::string::npos) << compare.output;
  for (const std::string& text :
       {sweep.output, sweep.errors, compare.output, compare.errors, ReadFile(record),
        ReadFile(directory + "/sweep.svg"), ReadFile(directory + "/compare.svg")}) {
    EXPECT_EQ(text.find('\x1B'), std::string::npos) << "an escape byte got through";
    EXPECT_EQ(text.find('\xE9'), std::string::npos) << "a Latin-1 byte got through";
  }
  for (const char* name : {"/sweep.svg", "/compare.svg"}) unlink((directory + name).c_str());
  unlink(record.c_str());
  rmdir(directory.c_str());
}

#endif

}  // namespace
