#include "kernels/x86/kernel_frame.inc"

    .text
KERNEL_START EmptyProcedure
KERNEL_TRAILER EmptyProcedure

    .section .note.GNU-stack, "", @progbits
