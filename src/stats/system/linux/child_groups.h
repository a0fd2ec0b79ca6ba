// The groups of the children now running, as a signal handler reads them: Ctrl-Z stops each with
// this process, and fg or bg lets each go on, once this process does.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <cstdint>

namespace stats {

// The signals by which a terminal stops its job: Ctrl-Z, and a job in the background that reads
// or writes it.
constexpr int JOB_STOP_SIGNALS[] = {SIGTSTP, SIGTTIN, SIGTTOU};

// From here on these signals stop the children remembered, then this process.
void InstallJobStopHandlers();

// Remembers the group `leader` leads, until forgotten; `stopped_ns`, when given, gets the
// nanoseconds it was stopped from now on, each time before it goes on. Called with the job stop
// signals blocked, so that no stop comes between the child's start and this.
void RememberChildGroup(pid_t leader, int64_t* stopped_ns);
// Before the leader is reaped, so that no signal ever reaches a process that took its number.
void ForgetChildGroup(pid_t leader);

// Nanoseconds of the monotonic clock, and of them those this process spent stopped.
int64_t MonotonicNs();
int64_t StoppedNs();

}  // namespace stats
