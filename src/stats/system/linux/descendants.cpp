#include "stats/system/descendants.h"

#include <dirent.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

namespace stats {

namespace {

bool adopting = false;

// The children of this process, as the system lists them per thread.
std::vector<pid_t> Children() {
  std::vector<pid_t> children;
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return children;
  while (const dirent* task = readdir(tasks)) {
    if (task->d_name[0] == '.') continue;
    std::ifstream list(std::string("/proc/self/task/") + task->d_name + "/children");
    for (pid_t child; list >> child;) children.push_back(child);
  }
  closedir(tasks);
  return children;
}

}  // namespace

void AdoptOrphans() { adopting = prctl(PR_SET_CHILD_SUBREAPER, 1) == 0; }

void SignalGroup(pid_t leader, int signal) { kill(-leader, signal); }

void EndDescendants(pid_t leader) {
  kill(-leader, SIGKILL);
  if (!adopting) return;
  // An adopted process may start others as it dies; a few passes catch those.
  for (int pass = 0; pass < 10; ++pass) {
    const std::vector<pid_t> children = Children();
    if (children.empty()) return;
    for (const pid_t child : children) {
      kill(child, SIGKILL);
      while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
  }
}

}  // namespace stats
