#include <unistd.h>

#include "stats/system/linux/child_start.h"

namespace stats {

ChildRun RunProgram(std::vector<std::string> words, const ChildLimits& limits, bool search_path) {
  return RunProgramWithin(std::move(words), limits, search_path, -1);
}

ChildRun RunProgramWithin(std::vector<std::string> words, const ChildLimits& limits,
                          bool search_path, int walls) {
  // Made before the fork: between fork and exec only the setup runs.
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return RunChild(
      [&](int, int setup) {
        // Entered before the exec, so that not one of the program's instructions runs outside.
        if (walls >= 0 && !EnterWalls(walls)) ExecFailed(setup);
        if (search_path) {
          execvp(argv[0], argv.data());
        } else {
          execv(argv[0], argv.data());
        }
        ExecFailed(setup);
      },
      limits, words[0]);
}

}  // namespace stats
