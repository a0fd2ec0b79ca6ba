#include "stats/system/program_start.h"

namespace stats {

// Linux hands over bytes already: the arguments as given, and streams that translate nothing.
std::vector<std::string> StartProgram(int argc, char** argv) { return {argv + 1, argv + argc}; }

}  // namespace stats
