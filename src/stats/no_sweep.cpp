// Built instead of sweep/ where the sweep's machine code cannot run in this process.
#include "stats/commands.h"

namespace stats {

int RunSweepCommand(const SweepOptions&) {
  std::cerr << "absbench-stats: --sweep is built for Linux x86-64 only\n" << USAGE;
  return EXIT_USAGE;
}

}  // namespace stats
