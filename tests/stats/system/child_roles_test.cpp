// A child is this program started again in a role: what reaches it (its input, its report channel,
// the shared page, and nothing of the parent's memory), and what it refuses.
#include "stats/system/child_roles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "tests/stats/test_roles.h"

namespace {

// Set in the parent before a child starts: a child made by fork alone would see it.
int set_in_the_parent = 0;

const bool PROTOCOL_ROLES_ADDED =
    testing_roles::Add("echoes-its-input",
                       [](const std::string& input, const stats::RoleContext& context) {
                         stats::ReportBytes(context.report, input.data(), input.size());
                         stats::ExitAtOnce(0);
                       }) &&
    testing_roles::Add("tells-what-it-sees",
                       [](const std::string&, const stats::RoleContext& context) {
                         const std::string seen = std::to_string(set_in_the_parent);
                         stats::ReportBytes(context.report, seen.data(), seen.size());
                         stats::SharedPage page(context.shared_page, 64);
                         if (page.bytes() != nullptr)
                           std::strcpy(static_cast<char*>(page.bytes()), "hi");
                         stats::ExitAtOnce(page.bytes() != nullptr ? 0 : 1);
                       }) &&
    // What a failed exec once looked like: an errno's four bytes on the report, and 127.
    testing_roles::Add("ends-like-a-failed-start",
                       [](const std::string&, const stats::RoleContext& context) {
                         const int error = 2;
                         stats::ReportBytes(context.report, &error, sizeof error);
                         stats::ExitAtOnce(127);
                       });

TEST(ChildRole, GetsItsInputByteForByteAndTheSharedPageButNoneOfTheParentsMemory) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  const std::string input("line\n\0after a NUL\n", 18);
  const stats::ChildRun echoed = stats::RunRole("echoes-its-input", input, {});
  ASSERT_EQ(echoed.outcome, stats::ChildRun::ENDED) << echoed.failure;
  EXPECT_EQ(echoed.report, input);

  set_in_the_parent = 1;
  stats::SharedPage page(64);
  ASSERT_NE(page.bytes(), nullptr) << page.error();
  const stats::ChildRun told = stats::RunRole("tells-what-it-sees", "", {}, &page);
  set_in_the_parent = 0;
  ASSERT_TRUE(stats::Succeeded(told)) << told.failure << told.errors;
  EXPECT_EQ(told.report, "0") << "the child is a fresh start of the program, not a fork";
  EXPECT_STREQ(static_cast<const char*>(page.bytes()), "hi");
}

TEST(ChildRole, InputCutShortGarbledOrForAnotherRoleIsRefusedAndTheParentSaysWhy) {
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

TEST(ChildRole, StartsWhateverThisProcessClosedAndIsNeverMistakenForOneThatDidNot) {
  SKIP_WHERE_CHILD_ROLES_CANNOT_START();
  // Standard input closed here: the child's input pipe is made on descriptor 0.
  const int kept = dup(STDIN_FILENO);
  close(STDIN_FILENO);
  const stats::ChildRun echoed = stats::RunRole("echoes-its-input", "through 0", {});
  dup2(kept, STDIN_FILENO);
  close(kept);
  EXPECT_TRUE(stats::Succeeded(echoed)) << echoed.failure << echoed.errors;
  EXPECT_EQ(echoed.report, "through 0");

  const stats::ChildRun faked = stats::RunRole("ends-like-a-failed-start", "", {});
  EXPECT_EQ(faked.outcome, stats::ChildRun::ENDED) << faked.failure;
  EXPECT_EQ(faked.ending.exit_code, 127);
}

}  // namespace
