// Built instead of sweep/ where the sweep's x86-64 machine code cannot run, or its walls around
// that code are not built for the system (IA-32 Linux).
#include "stats/cli/commands.h"

namespace stats {

int RunSweepCommand(const SweepOptions&) {
  return UsageFailure("--sweep is not built for this system yet (only for x86-64)");
}

RoleTable CompanionRoles() { return {}; }

}  // namespace stats
