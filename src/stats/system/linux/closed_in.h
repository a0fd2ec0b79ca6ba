// Whether this process has closed itself in (sandbox.h), kept where every Linux build has it: the
// pages of code and stacks are mapped on IA-32 too, where no filter is built.
#pragma once

namespace stats {

// Said once by the sandbox, when its filter is on.
void MarkClosedIn();

}  // namespace stats
