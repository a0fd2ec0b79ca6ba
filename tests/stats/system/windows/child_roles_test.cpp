// A child on Windows is this program started again in a role, as on Linux: what reaches it (its
// input, its report, the shared page, and no handle it was not given), what it refuses, and how it
// ends on a fault: at once, with the exception's code, never waiting on a debugger.
#include "stats/system/child_roles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>

#include "stats/system/containment.h"
#include "stats/system/sandbox.h"
#include "stats/system/windows/handles.h"
#include "tests/stats/test_roles.h"

namespace {

// Set in the parent before a child starts: a child made as a copy of this process would see it.
int set_in_the_parent = 0;

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t at = 0; at < size; ++at) bytes[at] = static_cast<char>(at * 7 % 251);
  return bytes;
}

[[noreturn]] void Report(const stats::RoleContext& context, const std::string& bytes) {
  stats::ExitAtOnce(stats::ReportAll(context.report, bytes) ? 0 : 1);
}

const bool ROLES_ADDED =
    testing_roles::Add("echoes-its-input",
                       [](const std::string& input, const stats::RoleContext& context) {
                         stats::ReportBytes(context.report, input.data(), input.size());
                         stats::ExitAtOnce(0);
                       }) &&
    testing_roles::Add("tells-what-it-sees",
                       [](const std::string&, const stats::RoleContext& context) {
                         stats::SharedPage page(context.shared_page, 64);
                         if (page.bytes() != nullptr)
                           std::strcpy(static_cast<char*>(page.bytes()), "hi");
                         Report(context, std::to_string(set_in_the_parent) +
                                             (page.bytes() != nullptr ? " page" : " no page"));
                       }) &&
    // Writes to the handle the parent names, which it should never have been given.
    testing_roles::Add("writes-to-a-handle",
                       [](const std::string& input, const stats::RoleContext& context) {
                         const auto handle = reinterpret_cast<HANDLE>(std::stoll(input));
                         DWORD written = 0;
                         const BOOL wrote = WriteFile(handle, "leak", 4, &written, nullptr);
                         Report(context, wrote ? "wrote" : "could not write");
                       }) &&
    testing_roles::Add("reports-much",
                       [](const std::string& input, const stats::RoleContext& context) {
                         Report(context, Pattern(std::stoul(input)));
                       }) &&
    testing_roles::Add("sleeps",
                       [](const std::string&, const stats::RoleContext&) {
                         Sleep(30000);
                         stats::ExitAtOnce(0);
                       }) &&
    testing_roles::Add("closes-itself-in",
                       [](const std::string&, const stats::RoleContext& context) {
                         const bool before = stats::ClosedIn();
                         const std::string problem = stats::EnterSandbox({});
                         Report(context, problem.empty() && !before && stats::ClosedIn()
                                             ? "closed in"
                                             : "not closed in: " + problem);
                       });

TEST(ChildRoleOnWindows, ThisProgramStartsItselfAgainAndSaysWhatWallsItPutUp) {
  EXPECT_EQ(stats::WhyThisProgramCannotStartItself(), "");
  const std::string words = stats::ContainmentWords(stats::ChildContainment());
  EXPECT_NE(words.find("no new executable code"), std::string::npos) << words;
  EXPECT_NE(words.find("job (one process, memory, CPU time)"), std::string::npos) << words;
  const bool under_wine =
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  // Said after every wall Wine takes and does not enforce, so that it covers them all.
  EXPECT_EQ(words.find(", no new executable code, of which Wine 8.0 enforces only the job's end") !=
                std::string::npos,
            under_wine)
      << words;
  // The tests run under Wine on Linux hosts only.
  EXPECT_EQ(words.find("Linux system calls from placed code refused") != std::string::npos,
            under_wine)
      << words;
}

TEST(ChildRoleOnWindows, GetsItsInputByteForByteAndNoneOfTheParentsMemory) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  const std::string input("line\n\0after a NUL\r\n", 19);
  const stats::ChildRun echoed = stats::RunRole("echoes-its-input", input, {});
  ASSERT_EQ(echoed.outcome, stats::ChildRun::ENDED) << echoed.failure;
  EXPECT_EQ(echoed.report, input) << "a stream in text mode on the way";
  // The largest input a role takes reaches it whole.
  const std::string large = Pattern(1 << 20);
  stats::ChildLimits limits;
  limits.output_limit = 2 << 20;
  const stats::ChildRun echoed_large = stats::RunRole("echoes-its-input", large, limits);
  EXPECT_TRUE(echoed_large.report == large) << echoed_large.failure << echoed_large.report.size();

  set_in_the_parent = 1;
  const stats::ChildRun told = stats::RunRole("tells-what-it-sees", "", {});
  set_in_the_parent = 0;
  ASSERT_TRUE(stats::Succeeded(told)) << told.failure << told.errors;
  EXPECT_EQ(told.report, "0 no page") << "the child is a fresh start of the program";
}

TEST(ChildRoleOnWindows, OpensTheSharedPageItIsGiven) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  stats::SharedPage page(64);
  ASSERT_NE(page.bytes(), nullptr) << page.error();
  const stats::ChildRun told = stats::RunRole("tells-what-it-sees", "", {}, &page);
  ASSERT_TRUE(stats::Succeeded(told)) << told.failure << told.errors;
  EXPECT_EQ(told.report, "0 page");
  EXPECT_STREQ(static_cast<const char*>(page.bytes()), "hi");
}

TEST(ChildRoleOnWindows, InputCutShortGarbledOrForAnotherRoleIsRefusedAndTheParentSaysWhy) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  const std::string whole = stats::RoleMessage("echoes-its-input", "twelve bytes");
  const struct {
    std::string role, message, reason;
  } refused[] = {
      {"echoes-its-input", whole.substr(0, whole.size() - 3), "it was cut short: 9 of 12 bytes"},
      {"echoes-its-input", whole + "more", "it goes on past the input it announced"},
      {"echoes-its-input", "GET / HTTP/1.0\n\n",
       "it does not open with the role protocol's header"},
      {"echoes-its-input", "absbench-stats role 2\necho\n0\n", "it speaks the role protocol 2"},
      {"echoes-its-input", stats::RoleMessage("tells-what-it-sees", ""), "it is for another role"},
      {"no-such-role", stats::RoleMessage("no-such-role", ""), "this program has no such role"},
  };
  for (const auto& [role, message, reason] : refused) {
    const stats::ChildRun run = stats::RunRoleWithMessage(role, message, {});
    EXPECT_EQ(run.outcome, stats::ChildRun::FAILED) << reason;
    EXPECT_EQ(run.failure.rfind("the child role " + role + " refused its input: " + reason, 0), 0u)
        << run.failure;
    EXPECT_EQ(run.report, "") << "the role ran on input it should have refused: " << reason;
  }
}

TEST(ChildRoleOnWindows, InheritsNoHandleThisProcessHoldsInheritableButDidNotList) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, &inheritable, 0));
  const stats::ChildRun run = stats::RunRole(
      "writes-to-a-handle", std::to_string(reinterpret_cast<intptr_t>(write_end)), {});
  CloseHandle(write_end);
  DWORD waiting = 0;
  PeekNamedPipe(read_end, nullptr, 0, nullptr, &waiting, nullptr);
  CloseHandle(read_end);
  EXPECT_TRUE(stats::Succeeded(run)) << run.failure << run.errors;
  EXPECT_EQ(waiting, 0u) << "the child wrote to a pipe it was never given: " << run.report;
}

TEST(ChildRoleOnWindows, RefusesAHandleNumberTooLargeToBeOneWithItsOwnExitCode) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  const stats::ChildRun run = stats::RunProgram(
      {stats::ThisProgramsPath(), stats::ROLE_ARGUMENT, "echoes-its-input", "9999999999999999999"},
      {}, false);
  EXPECT_EQ(run.ending.words, "exited with status 127") << run.failure << run.errors;
}

TEST(ChildRoleOnWindows, ReportsArriveWholeWithinTheLimitOverAllItsStreams) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  const size_t size = 300 << 10;
  stats::ChildLimits limits;
  limits.output_limit = size;
  const stats::ChildRun whole = stats::RunRole("reports-much", std::to_string(size), limits);
  EXPECT_TRUE(stats::Succeeded(whole)) << whole.failure << whole.ending.words;
  EXPECT_TRUE(whole.report == Pattern(size)) << whole.report.size() << " bytes came";

  limits.output_limit = size - 1;
  const stats::ChildRun flood = stats::RunRole("reports-much", std::to_string(size), limits);
  EXPECT_EQ(flood.outcome, stats::ChildRun::OVERFLOWED);
  EXPECT_EQ(flood.report.size(), size) << "one byte past the limit, no more";
}

TEST(ChildRoleOnWindows, EndsAtItsTimeLimitAndWhenItGoesQuietAskingWhileItWaits) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  stats::ChildLimits limits;
  limits.time_limit_ms = 300;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(stats::RunRole("sleeps", "", limits).outcome, stats::ChildRun::TIMED_OUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  limits = {};
  int waited = 0;
  limits.waiting = [&] { ++waited; };
  limits.still_working = [&] { return waited < 1; };
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(stats::RunRole("sleeps", "", limits).outcome, stats::ChildRun::WENT_QUIET);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_GE(waited, 1);
}

TEST(ChildRoleOnWindows, ClosesItselfInAndStillReports) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  const stats::ChildRun run = stats::RunRole("closes-itself-in", "", {});
  EXPECT_TRUE(stats::Succeeded(run)) << run.failure << run.ending.words;
  EXPECT_EQ(run.report, "closed in");
  EXPECT_EQ(stats::RefusedSystemCall(run), "") << "it made no call to refuse";
}

}  // namespace
