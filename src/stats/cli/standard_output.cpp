#include <iostream>

#include "stats/cli/commands.h"

namespace stats {

int WithStandardOutputChecked(int code) {
  // The stream keeps its failure, not the system's reason for it, which later calls overwrite.
  if (std::cout.flush()) return code;
  Failure("standard output could not be written (closed, or its device full)");
  return code != 0 ? code : 1;
}

}  // namespace stats
