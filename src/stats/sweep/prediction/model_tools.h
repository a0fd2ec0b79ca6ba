// Where the model's tools are: llvm-mca and the llvm-mc of the same LLVM.
#pragma once

#include <string>

namespace stats {

struct ModelTools {
  std::string mca, mc;
};

// `given` (--mca), or the newest llvm-mca-NN on PATH, or llvm-mca; with the llvm-mc beside it.
// Empty tools, with `problem` saying what is missing and which package brings it.
ModelTools FindModelTools(const std::string& given, std::string& problem);

}  // namespace stats
