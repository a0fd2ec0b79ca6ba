// What the sweep measures, as its figures name it: a kernel of the benchmark's table, one of the
// user's, or the empty procedure, each with the bytes it runs, trailer included.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kernels/kernel_table.h"

namespace stats {

struct Procedure {
  enum class Origin { TABLE, USER, EMPTY };
  std::string name;
  std::string words;  // for the table: "abs5 wobla"
  std::vector<uint8_t> bytes;
  int table_row = -1;  // its row in the benchmark's kernel table, for a table kernel
  ResultRegister result = ResultRegister::EAX;
  std::string inline_refusal;  // why its inline copies cannot be measured; empty when they can
  std::string assembly;        // the text a --kernel-asm kernel was assembled from; else empty
  Origin origin = Origin::USER;
};

}  // namespace stats
