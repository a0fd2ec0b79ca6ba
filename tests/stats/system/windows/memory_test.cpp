// Memory on Windows as the sweep places and runs code in it: pages written read-write and run
// read-execute, never both; a stack that faults off either end; a page a child shares.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "stats/system/code_arena.h"
#include "stats/system/files.h"
#include "stats/system/guarded_pages.h"
#include "stats/system/processes.h"
#include "stats/system/shared_page.h"

namespace {

const std::string CHILD = stats::ProgramBesideThisOne("windows_memory_child");

DWORD ProtectionAt(const void* address) {
  MEMORY_BASIC_INFORMATION facts = {};
  VirtualQuery(address, &facts, sizeof facts);
  return facts.State == MEM_COMMIT ? facts.Protect : PAGE_NOACCESS;
}

TEST(CodeArenaOnWindows, RunsWhatWasWrittenOnlyOnceItIsReadExecuteAndNoLongerWritable) {
  stats::CodeArena arena(100);
  ASSERT_TRUE(arena.ok()) << arena.error();
  EXPECT_EQ(arena.size() % 4096, 0u);
  EXPECT_EQ(ProtectionAt(arena.bytes()), static_cast<DWORD>(PAGE_READWRITE));
  const uint8_t forty_two[] = {0xB8, 42, 0, 0, 0, 0xC3};  // mov eax, 42; ret
  std::memcpy(arena.writable(), forty_two, sizeof forty_two);
  ASSERT_TRUE(arena.MakeExecutable()) << arena.error();
  EXPECT_EQ(arena.writable(), nullptr);
  EXPECT_EQ(ProtectionAt(arena.bytes()), static_cast<DWORD>(PAGE_EXECUTE_READ));
  const auto run = reinterpret_cast<int (*)()>(const_cast<uint8_t*>(arena.bytes()));
  EXPECT_EQ(run(), 42);
}

TEST(GuardedPagesOnWindows, AreWritableBetweenTwoPagesThatFaultAndAChildRunningOffEitherEndDies) {
  const stats::GuardedPages stack(3 * 4096);
  ASSERT_TRUE(stack.ok()) << stack.error();
  uint8_t* begin = stack.end() - 3 * 4096;
  begin[0] = stack.end()[-1] = 1;
  EXPECT_EQ(ProtectionAt(begin), static_cast<DWORD>(PAGE_READWRITE));
  EXPECT_EQ(ProtectionAt(stack.end() - 1), static_cast<DWORD>(PAGE_READWRITE));
  for (const uint8_t* guard : {begin - 4096, begin - 1, stack.end(), stack.end() + 4095})
    EXPECT_EQ(ProtectionAt(guard), static_cast<DWORD>(PAGE_NOACCESS));
  for (const char* edge : {"past-the-end", "before-the-start"}) {
    const stats::ChildRun run = stats::RunProgram({CHILD, edge}, {}, false);
    ASSERT_EQ(run.outcome, stats::ChildRun::ENDED) << run.failure;
    EXPECT_EQ(run.ending.fault, "exception 0xC0000005 (access violation)") << edge;
  }
}

TEST(SharedPageOnWindows, IsSeenByAChildThatOpensItByTheHandleItInherited) {
  const stats::SharedPage page(4096);
  ASSERT_NE(page.bytes(), nullptr) << page.error();
  std::strcpy(static_cast<char*>(page.bytes()), "from the parent");
  // Not inherited by whatever this process starts, only through a copy made for a child.
  DWORD flags = 0;
  ASSERT_TRUE(GetHandleInformation(reinterpret_cast<HANDLE>(page.handle()), &flags));
  EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
  HANDLE copy = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(page.handle()),
                              GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS));
  std::string line =
      "\"" + CHILD + "\" shared-page " + std::to_string(reinterpret_cast<intptr_t>(copy));
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  ASSERT_TRUE(CreateProcessA(CHILD.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             nullptr, &startup, &child));
  ASSERT_EQ(WaitForSingleObject(child.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(child.hProcess, &code);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  CloseHandle(copy);
  EXPECT_EQ(code, 0u) << "6: not opened, 7: the parent's words not seen";
  EXPECT_STREQ(static_cast<char*>(page.bytes()), "from the child");
}

TEST(SharedPageOnWindows, OpenedByAHandleThatNamesNoSectionIsEmptyWithTheSystemsReason) {
  // NO_HANDLE is this process's own pseudo-handle too: never handed to the system as a section.
  for (const stats::SharedPage::Handle handle :
       {stats::SharedPage::Handle{0x7FF0}, stats::SharedPage::NO_HANDLE}) {
    const stats::SharedPage page(handle, 4096);
    EXPECT_EQ(page.bytes(), nullptr) << handle;
    EXPECT_STRNE(page.error(), "") << handle;
  }
}

}  // namespace
