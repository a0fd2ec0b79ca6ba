// The signals that ask absbench-stats to stop: Ctrl-C, a job's timeout, and a terminal closed
// under it. Each is recorded, its children are ended, and it exits with 128 + the signal.
#pragma once

#include <signal.h>

namespace stats {

constexpr int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace stats
