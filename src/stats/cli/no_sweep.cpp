// Built instead of sweep/ where the sweep's x86-64 machine code cannot run.
#include "stats/cli/commands.h"

namespace stats {

int RunSweepCommand(const SweepOptions&) {
  return UsageFailure("--sweep is built for Linux x86-64 only");
}

RoleTable CompanionRoles() { return {}; }

}  // namespace stats
