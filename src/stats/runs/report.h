// One benchmark report, read back strictly from the bytes the benchmark writes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "console/text_area.h"
#include "kernels/kernel_table.h"
#include "stats/pass.h"

namespace stats {

struct Report {
  int32_t baseline_ms = 0;
  std::array<std::array<int32_t, KERNEL_COUNT>, 2> net_ms{};  // [pass][kernel]
};

struct ParseError {
  int line = 0;      // 1-based
  std::string text;  // the offending line as found, or empty when it is missing
  std::string problem;
};

std::variant<Report, ParseError> ParseReport(std::string_view bytes);

// "abs5" and "abs5 wobla" for the kernel in a row of the table.
std::string KernelName(int kernel);
std::string KernelWords(int kernel);

}  // namespace stats
