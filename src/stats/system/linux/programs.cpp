#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "stats/system/linux/child_start.h"

namespace stats {

ChildRun RunProgram(std::vector<std::string> words, const ChildLimits& limits, bool search_path) {
  ChildRun run = RunChild(
      [&](int report) {
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        if (search_path) {
          execvp(argv[0], argv.data());
        } else {
          execv(argv[0], argv.data());
        }
        const int error = errno;
        (void)!write(report, &error, sizeof error);
        _exit(127);
      },
      limits);
  if (run.outcome == ChildRun::ENDED && run.report.size() == sizeof(int)) {
    int error;
    std::memcpy(&error, run.report.data(), sizeof error);
    run.outcome = ChildRun::FAILED;
    run.failure = "cannot start " + words[0] + ": " + std::strerror(error);
  }
  return run;
}

}  // namespace stats
