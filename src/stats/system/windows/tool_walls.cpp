#include "stats/system/tool_walls.h"

namespace stats {

// Windows has no wall a process can put around a program it starts that keeps it to its own
// folder; a tool runs as any program does, bounded by its job alone.
bool ToolsWalledIn() { return false; }

ChildRun RunWalledProgram(std::vector<std::string> words, const ChildLimits& limits,
                          bool search_path, const std::string&) {
  return RunProgram(std::move(words), limits, search_path);
}

}  // namespace stats
