// Kernels that misbehave, as an experimenting user writes them: each is left out with what it did
// and where, every other kernel is still measured and written, and the exit code is 1.
#include <dirent.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"

namespace {

using std::chrono::seconds;

#ifdef SWEEP_AVAILABLE
size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(HostileKernels, EachIsLeftOutWithWhatItDidWhileTheOthersAreMeasuredAndWritten) {
  const struct {
    std::string kernel, measure, said;
  } hostile[] = {
      // Runs to its end under the check, whose RSI holds a sentinel; in a block its RET leaves
      // for nowhere.
      {"early=cmp esi, 0x5E070004; je 1f; ret; 1:", "latency",
       "left out: early: the measuring process was killed by SIGSEGV (Segmentation fault) outside "
       "the kernel's bytes (at address 0x"},
      {"fe=push 0; ldmxcsr [rsp]; pop rcx", "call",
       "left out: fe: it changed MXCSR from 1F80 to 0000 at placement "},
      {"bye=mov eax, 231; xor edi, edi; syscall", "call",
       "left out: bye: the process running it exited with status 0"},
      {"stack=mov qword ptr [rsp + 8], 0", "call",
       // Its caller, not the kernel, faults on the frame it wrote.
       "left out: stack: the process running it was killed by SIGSEGV (Segmentation fault) "
       "outside the kernel's bytes (at address 0x"},
      // Returns under the check, whose RSI holds a sentinel; spins where RSI counts the loop.
      {"hang=cmp esi, 0x5E070004; je 1f; 2: jmp 2b; 1:", "call",
       "left out: hang: it ran for 5 s without finishing at placement "},
      // The same dodge, then what only the check after every timed chunk sees.
      {"cutter=cmp esi, 0x5E070004; je 1f; mov esi, 1; 1:", "call",
       "left out: cutter: it cut its loop short (a chunk took less than half the empty "
       "procedure's time) at placement "},
      {"r12=cmp esi, 0x5E070004; je 1f; inc r12; 1:", "call",
       "left out: r12: it changed R12 at placement "},
      {"df=cmp esi, 0x5E070004; je 1f; std; 1:", "call",
       "left out: df: it left the direction flag set at placement "},
      // UD2 at byte 8, in the first copy a block runs: the fault names the byte and the copy.
      {"ill=cmp esi, 0x5E070004; je 1f; ud2; 1:", "throughput",
       "left out: ill: the measuring process was killed by SIGILL (Illegal instruction) at byte 8 "
       "of the kernel's copy 1 of "},
      // Faults only after thousands of timed calls, so never again alone: its own byte names it,
      // and frame beside it is still measured.
      {"late=cmp esi, 0x5E070004; je 1f; inc qword ptr [rsp + 64]; "
       "cmp qword ptr [rsp + 64], 20000; jb 1f; ud2; 1:",
       "call",
       "left out: late: the measuring process was killed by SIGILL (Illegal instruction) at byte "
       "24 of the kernel at placement "},
      {"cut=cmp esi, 0x5E070004; je 1f; mov esi, 1; 1:", "throughput",
       "left out: cut: it cut its loop short (a chunk took less than half the empty procedure's "
       "time) at placement "},
  };
  // Beside each: one that writes where its caller's frame would be, only where the loop calls it.
  // It runs on a stack of its own, so it is measured, and nothing of the sweep's is changed.
  const std::string frame = "frame=cmp esi, 0x5E070004; je 1f; mov qword ptr [rsp + 48], 0; 1:";
  for (const auto& kernel : hostile) {
    char folder[] = "/tmp/absbench-hostile-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string csv = std::string(folder) + "/sweep.csv";
    const FinishedRun run = RunCommand(
        StatsCommand({"--sweep", "--measure", kernel.measure, "--rounds", "2", "--calls", "50",
                      "--kernel-asm", kernel.kernel, "--kernel-asm", frame, "--csv", csv}),
        Input::DEV_NULL, seconds(60));
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << kernel.kernel;
    EXPECT_NE(run.output.find(kernel.said), std::string::npos) << kernel.kernel << run.output;
    const std::string name = kernel.kernel.substr(0, kernel.kernel.find('='));
    EXPECT_NE(run.errors.find("left out, not measured: " + name), std::string::npos) << run.errors;
    FILE* file = std::fopen(csv.c_str(), "r");
    ASSERT_NE(file, nullptr) << "the others' CSV was not written";
    std::string rows;
    for (int c; (c = std::fgetc(file)) != EOF;) rows += static_cast<char>(c);
    std::fclose(file);
    const size_t placements = 64;  // for the call loop and the blocks alike
    EXPECT_EQ(Count(rows, "\n"), 1 + 2 * 13 * placements)
        << "the table's twelve, frame, both passes";
    EXPECT_EQ(rows.find("," + name + ","), std::string::npos);
    EXPECT_NE(rows.find(",frame,"), std::string::npos);
    std::remove(csv.c_str());
    rmdir(folder);
  }
}

TEST(HostileKernels, ThoseThatFailTheCheckBeforeTimingAreLeftOutTooWithTheirReasons) {
  const std::vector<std::string> said = {
      "left out: ud2: the process running it was killed by SIGILL (Illegal instruction) at byte 0 "
      "of the kernel",
      "left out: spin: it does not return within 1 s",
      "left out: ebx: it changes RBX",
      "left out: esi: it changes RSI",
      "left out: r12: it changes R12 (operand 1)",
      "left out: r15: it changes R15",
      "left out: df: it returns with the direction flag set",
  };
  const FinishedRun run = RunCommand(
      StatsCommand({"--sweep",  "--rounds", "2",          "--calls",  "50",         "--kernel",
                    "ud2=0f0b", "--kernel", "spin=ebfe",  "--kernel", "ebx=31db",   "--kernel",
                    "esi=31f6", "--kernel", "r12=4D31E4", "--kernel", "r15=49FFC7", "--kernel",
                    "df=FD",    "--kernel", "fine=85c0"}),
      Input::DEV_NULL, seconds(60));
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.status;
  for (const std::string& reason : said) {
    EXPECT_NE(run.output.find(reason), std::string::npos) << reason << "\n" << run.output;
  }
  EXPECT_NE(run.output.find("  fine "), std::string::npos) << "the good one was measured";
  EXPECT_NE(run.errors.find("left out, not measured: ud2, spin, ebx, esi, r12, r15, df"),
            std::string::npos)
      << run.errors;
}
// The processes of this build of absbench-stats now running whose command line holds `marker`, the
// measuring processes (forked, so with the same command line) included; other tests' runs, which
// may run beside this one, hold other words.
size_t RunningCompanions(const std::string& marker) {
  size_t count = 0;
  DIR* processes = opendir("/proc");
  while (const dirent* entry = readdir(processes)) {
    char target[PATH_MAX] = {};
    const std::string folder = std::string("/proc/") + entry->d_name;
    if (readlink((folder + "/exe").c_str(), target, sizeof target - 1) <= 0 ||
        std::string(target) != STATS_PATH) {
      continue;
    }
    const std::string words = ReadFile(folder + "/cmdline");
    if (words.find(marker) != std::string::npos) ++count;
  }
  closedir(processes);
  return count;
}

TEST(HostileKernels,
     ThoseThatCallTheSystemOrSpeakForTheMeasuringProcessAreNamedAndTakeNothingElse) {
  // Each keeps its registers; the second of each pair dodges the check, whose RSI holds a
  // sentinel, and makes its call only where the sweep's loop calls it.
  const std::string kill =
      "push rsi; push rdi; push rax; mov eax, 62; xor edi, edi; mov esi, 9; "
      "syscall; pop rax; pop rdi; pop rsi";
  const std::string fork = "push rax; mov eax, 57; syscall; pop rax";
  const std::string flood =
      "push rsi; push rdi; push rax; mov eax, 1; mov edi, 1; lea rsi, [rsp "
      "- 4096]; mov edx, 4096; syscall; pop rax; pop rdi; pop rsi";
  // Its call made with the stack pointer at 0, where no signal frame fits.
  const std::string stackless = "mov r8, rsp; xor esp, esp; mov eax, 39; syscall; mov rsp, r8";
  const std::string dodge = "cmp esi, 0x5E070004; je 1f; ";
  // "garbage\n" on the measuring process's report: descriptor 3, where every child role of the
  // companion finds it. Then two that end it as it ends itself when it cannot write its report or
  // close itself in.
  const std::string garbage =
      "push rsi; push rdi; push rax; mov rax, 0x0A65676162726167; push rax; mov eax, 1; "
      "mov edi, 3; mov rsi, rsp; mov edx, 8; syscall; pop rax; pop rax; pop rdi; pop rsi";
  const std::string exit_with = "mov eax, 231; mov edi, ";
  const struct {
    std::string kernel, said;
  } hostile[] = {
      {"killer=" + kill, "left out: killer: it made the system call kill (62)\n"},
      {"forker=" + fork, "left out: forker: it made the system call fork (57)\n"},
      {"flood=" + flood, "left out: flood: it made the system call write (1)\n"},
      {"killer=" + dodge + kill + "; 1:",
       "left out: killer: it made the system call kill (62) at placement "},
      {"forker=" + dodge + fork + "; 1:",
       "left out: forker: it made the system call fork (57) at placement "},
      {"flood=" + dodge + flood + "; 1:",
       "left out: flood: it made the system call write (1) at placement "},
      {"stackless=" + stackless, "left out: stackless: it made the system call getpid (39)\n"},
      // Memory: none is mapped, protected or given back once the code is in place.
      {"breaker=" + dodge +
           "push rax; push rdi; mov eax, 12; xor edi, edi; syscall; pop rdi; "
           "pop rax; 1:",
       "left out: breaker: it made the system call brk (12) at placement "},
      {"mapper=" + dodge +
           "push rsi; push rdi; push rax; mov eax, 9; xor edi, edi; mov esi, "
           "4096; mov edx, 3; mov r10d, 0x22; mov r8, -1; xor r9d, r9d; "
           "syscall; pop rax; pop rdi; pop rsi; 1:",
       "left out: mapper: it made the system call mmap (9) at placement "},
      {"stackless=" + dodge + stackless + "; 1:",
       "left out: stackless: it made the system call getpid (39) at placement "},
      {"garbage=" + dodge + garbage + "; 1:",
       "left out: garbage: it wrote to the measuring process's report (line 1: unexpected) at "
       "placement "},
      // "error a\nend\n", a report the measuring process could have ended with, and exit 0.
      {"forge=" + dodge +
           "push 0x0a646e65; movabs rax, 0x0a6120726f727265; push rax; mov rsi, "
           "rsp; mov edx, 12; mov edi, 3; mov eax, 1; syscall; " +
           exit_with + "0; syscall; 1:",
       "left out: forge: it wrote to the measuring process's report (an error: a) at placement "},
      {"four=" + dodge + exit_with + "4; syscall; 1:",
       "left out: four: the measuring process exited with status 4 at placement "},
      {"five=" + dodge + exit_with + "5; syscall; 1:",
       "left out: five: the measuring process exited with status 5 at placement "},
  };
  for (const auto& kernel : hostile) {
    const std::string folder = TemporaryDirectory(), csv = folder + "/sweep.csv";
    const FinishedRun run =
        RunCommand(StatsCommand({"--sweep", "--rounds", "4", "--kernel-asm", kernel.kernel,
                                 "--kernel-asm", "good=test eax, eax", "--csv", csv}),
                   Input::DEV_NULL, seconds(60));
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.status << run.errors;
    EXPECT_NE(run.output.find(kernel.said), std::string::npos) << kernel.kernel << run.output;
    EXPECT_NE(run.output.find("  good (test eax, eax) "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("  abs5 "), std::string::npos) << "the table was measured";
    const std::string rows = ReadFile(csv);
    EXPECT_EQ(Count(rows, "\n"), 1 + 2 * 13 * 64) << "the table's twelve and the good one";
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"sweep.csv"}) << "a file was created";
    EXPECT_EQ(RunningCompanions(kernel.kernel), 0u) << "a process of the run was left";
    EXPECT_LT(run.took, seconds(20)) << kernel.kernel;
    EXPECT_LT(run.peak_memory_kb, 200 * 1024) << kernel.kernel;
    std::remove(csv.c_str());
    rmdir(folder.c_str());
  }
}
#endif

}  // namespace
