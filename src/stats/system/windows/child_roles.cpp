#include "stats/system/child_roles.h"

#include <cstring>

namespace stats {

void RefuseRoleInput(const std::string& role, const std::string& problem) {
  SayOnStandardError("absbench-stats: the child role " + role + " refused its input: " + problem +
                     "\n");
  ExitAtOnce(ROLE_REFUSED);
}

// Only the sweep starts this program again in a role, and it is not built for Windows yet.
void PlayRoleIfAsked(int argc, char** argv, const RoleTable&) {
  if (argc < 3 || std::strcmp(argv[1], ROLE_ARGUMENT) != 0) return;
  RefuseRoleInput(argv[2], "this program plays no role on this system yet");
}

}  // namespace stats
