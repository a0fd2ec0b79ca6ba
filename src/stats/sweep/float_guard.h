// A kernel may use the x87 and SSE state only as it found it: the control words are compared
// with those at the start after each cell, and a fault from exceptions it unmasked is caught.
#pragma once

namespace stats {

// The exit status of a child whose kernel changed the floating-point control state; its report
// then ends with "state it changed ...\n".
constexpr int FLOAT_STATE_EXIT = 3;

// In a child, before any kernel runs: records the control state and catches the fault of a kernel
// that unmasked exceptions, to report on `report`.
void GuardFloatingPoint(int report);

// Reports the change and ends the child when the control state differs from the one recorded.
void CheckFloatingPoint();

}  // namespace stats
