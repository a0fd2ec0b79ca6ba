// How a child of this program's own ends on a fault nothing else handled: at once, with the
// exception's code as its exit code, so that the parent can name it and no debugger or dialog box
// is ever started, whatever the system's settings for crashes.
#pragma once

namespace stats {

// In the child, before its role runs. Handlers added later in front of it (the path recorder's,
// the floating-point fault's) still see every exception first.
void EndAtOnceOnFaults();

}  // namespace stats
