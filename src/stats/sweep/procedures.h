// What the sweep places: the benchmark's kernels, the empty procedure, and the user's kernels, each
// with the bytes it runs, trailer included.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kernels/kernel_table.h"

namespace stats {

struct Procedure {
  std::string name;
  std::string words;  // for the table: "abs5 wobla"
  std::vector<uint8_t> bytes;
  int table_row = -1;  // its row in the benchmark's kernel table; -1 for any other procedure
  ResultRegister result = ResultRegister::EAX;
  std::string inline_refusal;  // why its inline copies cannot be measured; empty when they can
  std::string assembly;        // the text a --kernel-asm kernel was assembled from; else empty
};

// The bytes before the common trailer: what an inline copy repeats.
std::vector<uint8_t> BodyOf(const Procedure& procedure);

// The kernels of the table, in table order, and the empty procedure, with their linked bytes.
std::vector<Procedure> TableProcedures();
Procedure EmptyProcedureCopy();

}  // namespace stats
