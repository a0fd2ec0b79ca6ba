#include "stats/system/linux/closed_in.h"

#include "stats/system/sandbox.h"

namespace stats {

namespace {

bool closed_in = false;

}  // namespace

void MarkClosedIn() { closed_in = true; }

bool ClosedIn() { return closed_in; }

}  // namespace stats
