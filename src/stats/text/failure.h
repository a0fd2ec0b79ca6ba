// How a command says that it failed: one line on standard error, and the exit code.
#pragma once

#include <iostream>
#include <string>

#include "stats/text/format.h"

namespace stats {

constexpr int EXIT_USAGE = 2;

// "absbench-stats: <problem>" on standard error, and the exit code for a failure.
// Whatever the problem quotes (a file's name, a tool's words) is shown, never obeyed, and on
// one line, which nothing it quotes can add to.
inline int Failure(const std::string& problem, int exit_code = 1) {
  std::cerr << "absbench-stats: " << Shown(problem) << "\n";
  return exit_code;
}

}  // namespace stats
