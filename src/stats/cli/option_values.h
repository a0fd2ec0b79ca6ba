// The values that options take, read strictly: a value is taken whole or refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stats/cli/options.h"

namespace stats {

// Decimal digits only, at most `maximum`.
std::optional<uint64_t> ParseUnsigned(const std::string& text, uint64_t maximum);

// "0.02": digits with at most one point, from `least` to `most`.
std::optional<double> ParseDecimal(const std::string& text, double least, double most);

}  // namespace stats
