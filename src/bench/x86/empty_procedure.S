#include "kernels/x86/procedures.inc"

    .text
KERNEL_START EmptyProcedure
KERNEL_TRAILER EmptyProcedure

NON_EXECUTABLE_STACK
