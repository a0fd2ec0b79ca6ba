#include "stats/host/measuring_thread.h"

#include "stats/system/machine.h"

namespace stats {

std::string PinAndRaisePriority(int cpu) {
  if (std::string problem = PinThread(cpu); !problem.empty()) return problem;
  RaisePriority();
  return "";
}

}  // namespace stats
