// What the system hands this program as it starts, made the same on every system: its arguments
// as UTF-8 words, and standard streams that carry bytes as they are, LF written as LF.
#pragma once

#include <string>
#include <vector>

namespace stats {

// Called first in main: the arguments after the program's name. On Windows they are read from the
// wide command line, so that a name in any script reaches a file; a fault shows no dialog box.
std::vector<std::string> StartProgram(int argc, char** argv);

}  // namespace stats
