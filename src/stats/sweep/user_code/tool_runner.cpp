#include "stats/sweep/user_code/tool_runner.h"

#include "stats/system/tool_walls.h"

namespace stats {

ToolRun RunTool(std::vector<std::string> words, const ToolLimits& limits) {
  ChildLimits child_limits;
  child_limits.time_limit_ms = limits.time_limit_ms;
  child_limits.output_limit = limits.output_limit;
  child_limits.file_size_limit = limits.file_size_limit;
  child_limits.memory_limit = limits.memory_limit;
  child_limits.stops_with_us = true;
  const std::string name = words[0];
  ToolRun tool{RunWalledProgram(std::move(words), child_limits, limits.search_path, limits.folder),
               ""};
  if (tool.child.outcome == ChildRun::TIMED_OUT) {
    tool.problem =
        name + " did not finish within " + std::to_string(limits.time_limit_ms / 1000) + " s";
  } else if (tool.child.outcome == ChildRun::STOPPED) {
    tool.problem = name + " was stopped";
  } else if (tool.child.outcome == ChildRun::FAILED) {
    tool.problem = tool.child.failure;
  }
  return tool;
}

}  // namespace stats
