#include "stats/system/tool_walls.h"

#include "stats/system/files.h"
#include "stats/system/toolchain.h"

namespace stats {

// Windows has no wall a process can put around a program it starts that keeps it to its own
// folder; a tool runs as any program does, bounded by its job alone.
bool ToolsWalledIn() { return false; }

ChildRun RunWalledProgram(std::vector<std::string> words, const ChildLimits& limits,
                          bool search_path, const std::string&) {
  // CreateProcess would look in this program's folder and the working folder before PATH: a tool
  // is taken from PATH alone, as on Linux, so that a program planted in the working folder never
  // runs in its place.
  if (search_path && words[0].find_first_of("\\/:") == std::string::npos) {
    std::string found;
    for (const std::string& folder : ProgramFolders()) {
      if (found.empty() && IsExecutable(ProgramIn(folder, words[0])))
        found = ProgramIn(folder, words[0]);
    }
    if (found.empty()) {
      ChildRun run;
      run.failure = "cannot start " + words[0] + ": it is not on PATH";
      return run;
    }
    words[0] = found;
  }
  return RunProgram(std::move(words), limits, false);
}

}  // namespace stats
