// The sweep's other calls to Windows: a scratch folder for a tool's files, the programs found on
// PATH as Windows names them and run from there, the processors across groups, the time, and a
// clock that only runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>

#include "stats/system/files.h"
#include "stats/system/machine.h"
#include "stats/system/scratch_folder.h"
#include "stats/system/stop_requests.h"
#include "stats/system/tool_walls.h"
#include "stats/system/toolchain.h"

namespace {

bool Exists(const std::string& path) {
  return GetFileAttributesW(std::wstring(path.begin(), path.end()).c_str()) !=
         INVALID_FILE_ATTRIBUTES;
}

// Sets an environment variable for the scope of a test.
struct Variable {
  std::string name, before;
  Variable(const std::string& variable, const std::string& value)
      : name(variable), before(stats::EnvironmentValue(variable.c_str())) {
    SetEnvironmentVariableA(name.c_str(), value.c_str());
  }
  ~Variable() { SetEnvironmentVariableA(name.c_str(), before.empty() ? nullptr : before.c_str()); }
};

TEST(ScratchFolderOnWindows, IsANewFolderInTheTemporaryFolderRemovedWithTheFilesNamedToIt) {
  char temporary[MAX_PATH + 1];
  GetTempPathA(sizeof temporary, temporary);
  std::string folder_path;
  {
    const stats::ScratchFolder folder({"kernel.s", "kernel.o"});
    ASSERT_TRUE(folder.ok()) << folder.Problem("the assembler");
    folder_path = folder.path();
    EXPECT_EQ(folder_path.rfind(temporary, 0), 0u) << folder_path;
    EXPECT_NE(folder_path, stats::ScratchFolder({}).path()) << "a folder of its own";
    EXPECT_EQ(stats::WriteNewFile(folder / "kernel.s", "nop\n"), "");
    EXPECT_EQ(stats::ReadBounded(folder / "kernel.s", 100).bytes, "nop\n") << "LF kept as LF";
    EXPECT_NE(stats::WriteNewFile(folder / "kernel.s", "ud2\n"), "") << "an old file replaced";
    EXPECT_EQ(stats::ReadBounded(folder / "kernel.s", 100).bytes, "nop\n");
    std::ofstream(folder / "kernel.o") << "object";
  }
  EXPECT_FALSE(Exists(folder_path));
}

TEST(ScratchFolderOnWindows, ThatCannotBeMadeSaysWhereAndWhy) {
  const Variable tmp("TMP", "C:\\no-such-folder-for-absbench"),
      temp("TEMP", "C:\\no-such-folder-for-absbench");
  const stats::ScratchFolder folder({});
  ASSERT_FALSE(folder.ok());
  const std::string problem = folder.Problem("the assembler");
  const std::string start =
      "cannot make a folder for the assembler in C:\\no-such-folder-for-absbench: ";
  EXPECT_EQ(problem.rfind(start, 0), 0u) << problem;
  EXPECT_GT(problem.size(), start.size()) << "no reason given";
}

TEST(ProgramsOnPathOnWindows, AreFoundAsExeFilesInPathsFoldersSplitAtSemicolons) {
  const stats::ScratchFolder folder({"as.exe", "llvm-mca-19.exe", "objdump.txt"});
  ASSERT_TRUE(folder.ok());
  for (const char* file : {"as.exe", "llvm-mca-19.exe", "objdump.txt"})
    ASSERT_EQ(stats::WriteNewFile(folder / file, "MZ"), "");
  const Variable path("PATH", "C:\\no-such-folder;;\"" + folder.path() + "\\\"");
  EXPECT_EQ(stats::ProgramFolders(),
            (std::vector<std::string>{"C:\\no-such-folder", folder.path()}));
  EXPECT_EQ(stats::ProgramIn(folder.path(), "as"), folder.path() + "\\as.exe");
  EXPECT_EQ(stats::ProgramNamed("llvm-mca-19.EXE"), "llvm-mca-19");
  EXPECT_EQ(stats::ProgramNamed("objdump.txt"), "");
  EXPECT_EQ(stats::ProgramsMissing({"as", "objdump", "objcopy"}),
            (std::vector<std::string>{"objdump", "objcopy"}));
  EXPECT_FALSE(stats::IsExecutable(folder / "objdump.txt"));
  EXPECT_FALSE(stats::IsExecutable(folder.path()));
  EXPECT_NE(stats::HowToGet(stats::Toolkit::BINUTILS).find("mingw-w64-x86_64-binutils"),
            std::string::npos);
}

TEST(ToolsOnWindows, AreTakenFromPathAloneNeverFromTheWorkingFolder) {
  const stats::ScratchFolder on_path({"probe.exe"}), working({"probe.exe"});
  ASSERT_TRUE(on_path.ok() && working.ok());
  const std::string child = stats::ProgramBesideThisOne("windows_memory_child");
  for (const stats::ScratchFolder* folder : {&on_path, &working})
    ASSERT_TRUE(CopyFileA(child.c_str(), (*folder / "probe.exe").c_str(), TRUE));
  char before[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, before);
  SetCurrentDirectoryA(working.path().c_str());
  {
    const Variable path("PATH", on_path.path());
    const stats::ChildRun run = stats::RunWalledProgram({"probe", "where"}, {}, true, "");
    EXPECT_TRUE(stats::Succeeded(run)) << run.failure;
    EXPECT_EQ(run.output, on_path.path() + "\\probe.exe");
    const stats::ChildRun absent = stats::RunWalledProgram({"absent-tool"}, {}, true, "");
    EXPECT_EQ(absent.outcome, stats::ChildRun::FAILED);
    EXPECT_EQ(absent.failure, "cannot start absent-tool: it is not on PATH");
  }
  SetCurrentDirectoryA(before);
  EXPECT_FALSE(stats::ToolsWalledIn());
}

TEST(MachineOnWindows, PinsToEachProcessorNumberedAcrossGroupsAndRefusesOnePast) {
  const int processors = stats::LogicalCpus();
  ASSERT_GT(processors, 0);
  EXPECT_GE(stats::MostCpuNumber(), processors - 1);
  for (int cpu = 0; cpu < processors; ++cpu) {
    ASSERT_EQ(stats::PinThread(cpu), "");
    Sleep(1);
    EXPECT_EQ(stats::CurrentCpu(), cpu);
  }
  const std::string refused = stats::PinThread(stats::MostCpuNumber() + 1);
  EXPECT_EQ(refused.rfind("cannot pin to CPU " + std::to_string(stats::MostCpuNumber() + 1), 0), 0u)
      << refused;
  DWORD_PTR allowed = 0, system = 0;
  GetProcessAffinityMask(GetCurrentProcess(), &allowed, &system);
  SetThreadAffinityMask(GetCurrentThread(), allowed);
}

TEST(MachineOnWindows, GivesTheUtcTimeAsLinuxDoesAndAClockThatOnlyRuns) {
  SYSTEMTIME today;
  GetSystemTime(&today);
  char date[16];
  snprintf(date, sizeof date, "%04u-%02u-%02uT", today.wYear, today.wMonth, today.wDay);
  EXPECT_EQ(stats::UtcNow().rfind(date, 0), 0u) << stats::UtcNow() << ", not today";
  EXPECT_TRUE(std::regex_match(stats::UtcNow(),
                               std::regex("20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:"
                                          "[0-6][0-9]Z")))
      << stats::UtcNow();
  const double before = stats::RunningSeconds();
  Sleep(50);
  const double after = stats::RunningSeconds();
  EXPECT_GE(after - before, 0.04);
  EXPECT_LT(after - before, 5.0);
  EXPECT_EQ(stats::StoppedSeconds(), 0.0);
}

}  // namespace
