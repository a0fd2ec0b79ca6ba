// Under Wine on a Linux host, placed bytes can make Linux system calls that Wine never sees (to
// the wineserver's pipe, the terminal, fork). A seccomp filter put up once the code is placed
// refuses every call made from the placed pages, and Wine's own calls, made from its code, go on.
#pragma once

#include <cstddef>
#include <string>

namespace stats {

// Each range of placed code, as it is made executable; the filter covers every one noted before.
void NotePlacedCode(const void* start, size_t bytes);

// As the range from `start` is freed: pages mapped there later may be Wine's, whose calls go on.
void ForgetPlacedCode(const void* start);

// In the child, once its code is placed: empty, or why the filter could not be put up. A refused
// call ends the process with a code RefusedLinuxCall names.
std::string RefuseLinuxCallsFromPlacedCode();

// "number 39 of Linux's x86-64 calls" when a child ended with `exit_code` for a refused call;
// otherwise empty.
std::string RefusedLinuxCall(int exit_code);

}  // namespace stats
