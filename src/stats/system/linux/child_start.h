// The fork behind every child on Linux: the child's setup (its own group, killed with this
// process, input, outputs, signals at their defaults, limits), then its body, which must exec.
// Only exec follows: no code of this program runs in a copy of its memory.
#pragma once

#include <functional>
#include <string>

#include "stats/system/processes.h"

namespace stats {

// What the setup pipe carries when the child cannot go on; end of file means the exec went through.
struct SetupFailure {
  int at_exec = 0;  // 0: the setup failed; 1: the exec did
  int error = 0;
};

// In the child, between fork and exec: gets the report and setup descriptors, both above the
// standard ones and closed on exec; calls only what is safe there, and execs.
using ChildBody = std::function<void(int report, int setup)>;

// `input` becomes its standard input (/dev/null when -1). Collects all three streams as they come,
// then reaps it. One whose exec fails is FAILED, "cannot start `started`: reason".
ChildRun RunChild(const ChildBody& body, const ChildLimits& limits, const std::string& started,
                  int input = -1);

// RunProgram, its child entering the Landlock ruleset `walls` (-1: none) before the exec.
ChildRun RunProgramWithin(std::vector<std::string> words, const ChildLimits& limits,
                          bool search_path, int walls);
// In the child: enters the Landlock ruleset `walls` for good; false when it could not.
bool EnterWalls(int walls);

// In the child: the errno of a failed exec, on the setup pipe, and the end.
[[noreturn]] void ExecFailed(int setup);

// In the child, before its body: the setup, every descriptor moved above the standard ones first,
// so that placing one never overwrites another (a parent started with a standard stream closed
// has pipes there).
[[noreturn]] void StartBody(const ChildBody& body, const ChildLimits& limits, int input, int output,
                            int errors, int report, int setup, pid_t parent);

// A wait status as this program's own ending.
ChildEnding EndingOfStatus(int status);
// "SIGSEGV (Segmentation fault)", or "signal 70 (Unknown signal 70)" when the system has no name.
std::string DescribeSignal(int signal);

}  // namespace stats
