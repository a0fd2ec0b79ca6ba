// A floating-point fault as the interrupted code left the control state: a kernel that unmasks
// exceptions is caught at the next division of the code around it.
#pragma once

#include <cstdint>

namespace stats {

// Called in the signal handler with the interrupted code's MXCSR (without its sticky flags) and
// x87 control word; it must be safe there. When it returns (the control state as recorded: an
// integer division by zero, a kernel's or not), the fault is raised again with the default action
// and ends the process.
using FloatFaultHandler = void (*)(uint32_t mxcsr, uint16_t x87_control);

void OnFloatingPointFault(FloatFaultHandler handler);

}  // namespace stats
