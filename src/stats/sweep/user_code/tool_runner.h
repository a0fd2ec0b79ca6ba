// The one way the sweep runs a tool (the assembler, llvm-mc, llvm-mca) on files of its own: in a
// child, bounded in time, output, file size and memory, walled in to the system's programs and its
// own folder (system/tool_walls.h), and stopped with this program.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "stats/system/processes.h"

namespace stats {

struct ToolLimits {
  int time_limit_ms = 5000;
  size_t output_limit = 1 << 20;
  size_t file_size_limit = 0;  // 0: no limit
  size_t memory_limit = 0;     // 0: no limit
  bool search_path = false;    // the tool's name is looked up in PATH
  std::string folder;          // the one folder it may read and write; empty: none
};

struct ToolRun {
  ChildRun child;
  // Empty when it ran and ended by itself; otherwise what went wrong: "NAME did not finish
  // within 5 s", "NAME was stopped", or why it could not start. An output past the limit and an
  // exit status are left to the caller to word, since what they mean depends on the tool.
  std::string problem;
};

ToolRun RunTool(std::vector<std::string> words, const ToolLimits& limits);

}  // namespace stats
