// What the sweep places: the benchmark's kernels, the empty procedure, and the user's kernels, each
// with the bytes it runs, trailer included.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stats {

struct Procedure {
  std::string name;
  std::string words;  // for the table: "abs5 wobla"
  std::vector<uint8_t> bytes;
  int table_row = -1;  // its row in the benchmark's kernel table; -1 for any other procedure
};

// The kernels of the table, in table order, and the empty procedure, with their linked bytes.
std::vector<Procedure> TableProcedures();
Procedure EmptyProcedureCopy();

}  // namespace stats
