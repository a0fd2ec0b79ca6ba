// Built instead of sweep/ where the sweep's machine code cannot run in this process.
#include "stats/commands.h"

namespace stats {

int RunSweepCommand(const SweepOptions&) {
  return UsageFailure("--sweep is built for Linux x86-64 only");
}

}  // namespace stats
