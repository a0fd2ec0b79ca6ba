// Runs the real program as a user would: from a shell, a script, a pipe or a terminal.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

struct FinishedRun {
  int status = 0;  // as waitpid reports it
  std::string output;
  std::string errors;
  std::chrono::steady_clock::duration took{};
};

enum class Input { DEV_NULL, CLOSED };

// Standard output and error go to files; fails the test if the program runs past `limit`.
FinishedRun RunToFiles(Input input, std::chrono::seconds limit);

// Waits for `pid`, killing it after `limit`; returns the waitpid status.
int WaitOrKill(pid_t pid, std::chrono::seconds limit);

std::string ReadFile(const std::string& path);
