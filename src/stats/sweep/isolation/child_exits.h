// How the sweep's children end of their own accord, each way with a code of its own. A kernel can
// end its process with any code too, so a code names no kernel until a cell fails again alone.
#pragma once

namespace stats {

// The measuring process: a cell left MXCSR, the x87 control word or a register it must keep
// changed, or cut its loop short; its report could not be written; it could not close itself in; it
// could not open the page it shares with its parent.
constexpr int STATE_CHANGED = 3, CANNOT_REPORT = 4, CANNOT_SANDBOX = 5, CANNOT_SHARE = 6;
// The contract check and the cell run alone: the code could not be placed in executable memory,
// or the child could not close itself in. The path recording ends with CANNOT_PLACE for either,
// and when it cannot report.
constexpr int CANNOT_PLACE = 120, CANNOT_MAKE_EXECUTABLE = 121, CANNOT_CLOSE_IN = 122;

}  // namespace stats
