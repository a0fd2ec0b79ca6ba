// The companion's test programs start with this main: a copy of the program started as a child
// plays its role (the companion's own, or a fake one a test added) before GoogleTest starts.
#include <gtest/gtest.h>

#include "stats/cli/commands.h"
#include "tests/stats/test_roles.h"

namespace testing_roles {

namespace {

stats::RoleTable& Added() {
  static stats::RoleTable roles;
  return roles;
}

}  // namespace

bool Add(const std::string& name, stats::Role role) {
  Added()[name] = std::move(role);
  return true;
}

const bool STARTS_ITSELF_ADDED =
    Add("starts", [](const std::string&, const stats::RoleContext&) { stats::ExitAtOnce(0); });

std::string WhyItCannotStartItself() {
  static const std::string why_not = [] {
    const stats::ChildRun run = stats::RunRole("starts", "", {});
    return run.outcome == stats::ChildRun::FAILED &&
                   run.failure.rfind("cannot start this program again", 0) == 0
               ? run.failure
               : "";
  }();
  return why_not;
}

}  // namespace testing_roles

int main(int argc, char** argv) {
  stats::RoleTable roles = stats::CompanionRoles();
  roles.merge(testing_roles::Added());
  stats::PlayRoleIfAsked(argc, argv, roles);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
