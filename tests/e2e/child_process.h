// Runs the real program as a user would: from a shell, a script, a pipe or a terminal.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

struct FinishedRun {
  int status = 0;  // as waitpid reports it
  std::string output;
  std::string errors;
  std::chrono::steady_clock::duration took{};
  long peak_memory_kb = 0;  // the largest resident size of the program and what it waited for
};

enum class Input { DEV_NULL, CLOSED };

// A program of this build, started through the target's emulator when the machine needs one.
std::vector<std::string> TargetCommand(const std::string& program);
// The quick-count build of the benchmark: the same sources, loops of a small count.
std::vector<std::string> QuickBenchmark();
// absbench-stats of this build with `arguments`.
std::vector<std::string> StatsCommand(const std::vector<std::string>& arguments);

// Replaces this process with `command`, which gets the standard streams alone, as from a shell;
// exits with 127 if it cannot.
[[noreturn]] void Exec(const std::vector<std::string>& command);

// Runs a command with standard output and error to files; fails the test if it runs past `limit`.
// Standard output goes to `output_path` instead when one is given (and is then not collected).
FinishedRun RunCommand(const std::vector<std::string>& command, Input input,
                       std::chrono::seconds limit, const std::string& output_path = "");

// Starts a command with standard input from /dev/null and output to /dev/null.
pid_t StartQuietly(const std::vector<std::string>& command);

// Waits for `pid`, killing it after `limit`; returns the waitpid status.
int WaitOrKill(pid_t pid, std::chrono::seconds limit, long* peak_memory_kb = nullptr);

std::string ReadFile(const std::string& path);
int LineCount(const std::string& text);

// A new folder of its own under /tmp, and the names in a folder (without . and ..).
std::string TemporaryDirectory();
std::vector<std::string> FilesIn(const std::string& directory);
