#include <unistd.h>

#include "stats/system/linux/child_start.h"

namespace stats {

ChildRun RunProgram(std::vector<std::string> words, const ChildLimits& limits, bool search_path) {
  // Made before the fork: between fork and exec only the setup runs.
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return RunChild(
      [&](int, int setup) {
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
