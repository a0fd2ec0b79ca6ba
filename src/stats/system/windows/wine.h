// Whether this program runs under Wine, which names itself through its ntdll.
#pragma once

#include <string>

namespace stats {

// Wine's version ("8.0"), or empty on Windows itself.
std::string WineVersion();

}  // namespace stats
