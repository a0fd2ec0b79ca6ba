// How a stop asked of absbench-stats from outside (Ctrl-C, a job's end, its terminal closed)
// reaches it: recorded, so that its children are stopped and no half-written file is left, then
// ended with the exit code a shell expects. And how Ctrl-Z does: its children stop with it and go
// on with it, and the time stopped counts toward no limit.
#pragma once

namespace stats {

// From here on a stop asked of this process (Ctrl-C, a job's end, its terminal closed) no longer
// ends it; it is recorded instead, so that children are stopped and no half-written file is left.
// Ctrl-Z (or a read or write of the terminal by a job in the background) stops every child
// running first, then this process; when it goes on (fg, bg) so do they.
void InstallStopHandlers();
enum class StopRequest { NONE, INTERRUPT, TERMINATE, HANG_UP };
// The stop asked so far, or NONE.
StopRequest StopRequested();
// The exit code a stop ends this program with: on Linux 130, 143 and 129, as a shell reads them;
// 1 for NONE.
int ExitCodeOf(StopRequest stop);

// The seconds this process has spent stopped by Ctrl-Z so far; and a clock, in seconds, that stands
// still meanwhile: every deadline, hang watch and time of a sweep reads it.
double StoppedSeconds();
double RunningSeconds();

}  // namespace stats
