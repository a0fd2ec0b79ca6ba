#include "stats/system/machine.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "stats/system/linux/cpuinfo.h"

namespace stats {

int MostCpuNumber() { return CPU_SETSIZE - 1; }

int CurrentCpu() {
  const int cpu = sched_getcpu();
  if (cpu >= 0) return cpu;
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return -1;
  for (int candidate = 0; candidate < CPU_SETSIZE; ++candidate) {
    if (CPU_ISSET(candidate, &allowed)) return candidate;
  }
  return -1;
}

std::string PinThread(int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  if (sched_setaffinity(0, sizeof set, &set) != 0) {
    return "cannot pin to CPU " + std::to_string(cpu) + ": " + std::strerror(errno);
  }
  return "";
}

bool RaisePriority() { return setpriority(PRIO_PROCESS, 0, -10) == 0; }

bool PriorityRaiseGranted() {
  errno = 0;
  const int now = getpriority(PRIO_PROCESS, 0);
  if (now == -1 && errno != 0) return false;
  // At or above it already: granted, and nothing to undo that could not be undone.
  if (now <= -10) return true;
  if (!RaisePriority()) return false;
  // Lowering it again is always allowed.
  setpriority(PRIO_PROCESS, 0, now);
  return true;
}

std::string SystemName() {
  utsname names;
  return uname(&names) == 0 ? std::string(names.sysname) + " " + names.release + " " + names.machine
                            : "unknown system";
}

std::string KernelRelease() {
  utsname names;
  return uname(&names) == 0 ? names.release : "";
}

int LogicalCpus() {
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<int>(online) : 0;
}

std::string ProcessorModelIn(std::istream& cpuinfo) {
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) != 0) continue;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const size_t value = line.find_first_not_of(" \t", colon + 1);
    if (value != std::string::npos) return line.substr(value);
  }
  return "unknown processor";
}

std::string SystemProcessorName() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  return ProcessorModelIn(cpuinfo);
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace stats
