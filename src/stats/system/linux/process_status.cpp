#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "stats/system/linux/child_start.h"
#include "stats/system/linux/descriptors.h"

namespace stats {

ChildEnding EndingOfStatus(int status) {
  ChildEnding ending;
  if (WIFEXITED(status)) {
    ending.exit_code = WEXITSTATUS(status);
    ending.words = "exited with status " + std::to_string(ending.exit_code);
  } else if (WIFSIGNALED(status)) {
    ending.fault = DescribeSignal(WTERMSIG(status));
    ending.past_file_size = WTERMSIG(status) == SIGXFSZ;
    ending.words = "was killed by " + ending.fault;
  } else {
    ending.fault = "wait status " + std::to_string(status);
    ending.words = "ended with " + ending.fault;
  }
  return ending;
}

bool Succeeded(const ChildRun& run) {
  return run.outcome == ChildRun::ENDED && run.ending.exit_code == 0;
}

std::string DescribeSignal(int signal) {
  const char* name = sigabbrev_np(signal);
  return (name != nullptr ? "SIG" + std::string(name) : "signal " + std::to_string(signal)) + " (" +
         strsignal(signal) + ")";
}

void ReportBytes(ReportChannel channel, const void* bytes, size_t length) {
  (void)!write(static_cast<int>(channel.handle()), bytes, length);
}

bool ReportAll(ReportChannel channel, const std::string& bytes) {
  return WriteAll(static_cast<int>(channel.handle()), bytes) == 0;
}

void SayOnStandardError(const std::string& line) {
  (void)!write(STDERR_FILENO, line.data(), line.size());
}

void ExitAtOnce(int code) { _exit(code); }

}  // namespace stats
