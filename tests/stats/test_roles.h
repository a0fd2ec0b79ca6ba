// Child roles of the test programs' own: a test adds a fake role at start-up, so that the copy of
// the test program started as the child finds it there too, beside the companion's roles.
#pragma once

#include <string>

#include "stats/system/child_roles.h"

namespace testing_roles {

// Adds `role` as `name`; for a namespace-scope constant, so that it is there before main.
bool Add(const std::string& name, stats::Role role);

// Empty when this test program can start itself again; else why not. An IA-32 test program run
// under qemu-user on a machine that refuses 32-bit programs cannot, as the companion there cannot.
std::string WhyItCannotStartItself();

}  // namespace testing_roles

// Skips the test where the program cannot start itself, with the reason.
#define SKIP_WHERE_CHILD_ROLES_CANNOT_START()                            \
  do {                                                                   \
    const std::string why_not = testing_roles::WhyItCannotStartItself(); \
    if (!why_not.empty()) GTEST_SKIP() << why_not;                       \
  } while (false)
