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

std::string WhyItCannotStartItself() {
  // Only a program the system cannot start again is skipped; any other failure is the tests'.
  static const std::string why_not = [] {
    const std::string problem = stats::WhyThisProgramCannotStartItself();
    return problem.rfind("cannot start this program again", 0) == 0 ? problem : "";
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
