#include "stats/system/linux/descendants.h"

#include <dirent.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace stats {

namespace {

bool adopting = false;

// The children of this process, as the system lists them per thread; where it keeps no such
// list, from every process's parent.
std::vector<pid_t> Children() {
  std::vector<pid_t> children;
  bool listed = false;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (const dirent* task = readdir(tasks)) {
      if (task->d_name[0] == '.') continue;
      std::ifstream list(std::string("/proc/self/task/") + task->d_name + "/children");
      listed = listed || list.is_open();
      for (pid_t child; list >> child;) children.push_back(child);
    }
    closedir(tasks);
  }
  if (listed) return children;
  if (DIR* processes = opendir("/proc")) {
    const pid_t self = getpid();
    while (const dirent* process = readdir(processes)) {
      if (process->d_name[0] < '1' || process->d_name[0] > '9') continue;
      // The parent is the fourth field, after a name in parentheses that may hold anything.
      std::ifstream stat(std::string("/proc/") + process->d_name + "/stat");
      const std::string line(std::istreambuf_iterator<char>(stat), {});
      const size_t name_end = line.rfind(')');
      std::istringstream fields(name_end == std::string::npos ? "" : line.substr(name_end + 1));
      char state = 0;
      pid_t parent = 0;
      if (fields >> state >> parent && parent == self)
        children.push_back(std::stoi(process->d_name));
    }
    closedir(processes);
  }
  return children;
}

}  // namespace

void AdoptOrphans() { adopting = prctl(PR_SET_CHILD_SUBREAPER, 1) == 0; }

void SignalGroup(pid_t leader, int signal) {
  kill(-leader, signal);
  // The leader too, in case it left its group: until it is reaped its pid is its own.
  kill(leader, signal);
}

void EndDescendants(pid_t leader) {
  kill(-leader, SIGKILL);
  if (!adopting) return;
  // An adopted process may start others as it dies: passes go on until none is left, for a while.
  timespec start, now;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (now = start; now.tv_sec - start.tv_sec < 2; clock_gettime(CLOCK_MONOTONIC, &now)) {
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
