// Whether this program runs under Wine, which names itself through its ntdll.
#pragma once

#include <string>

namespace stats {

// Wine's version ("8.0"), or empty on Windows itself.
std::string WineVersion();

// Whether this is Wine on a Linux host, whose system calls this program can then make itself.
bool WineOnLinux();

}  // namespace stats
