#include "bench/constants.h"
#include "kernels/x86/procedures.inc"
#include "bench/x86/loop_body.inc"

    .intel_syntax noprefix
    .text

# uint32_t TimeKernel_<procedure>(int32_t operand): milliseconds taken by LOOP_COUNT calls.
# Between the two counter readings run the store of the start time, the load of the count and the
# loop. RSI is not preserved across calls on x86-64 System V, so the count can only be loaded after
# the first reading. The start time goes to a slot reserved beforehand rather than a push, so RSP
# stays 16-byte aligned at both calls.
.macro TIME_KERNEL procedure
PROCEDURE_START TimeKernel_\procedure
    push rbx
    sub rsp, 16
    mov ebx, edi
    call PlatformTickCount
    mov [rsp], eax
    mov esi, LOOP_COUNT
    LOOP_BODY \procedure
    call PlatformTickCount
    sub eax, [rsp]
    add rsp, 16
    pop rbx
    ret
PROCEDURE_END TimeKernel_\procedure
.endm

# void WarmUp(void): one untimed loop around the empty procedure, operand left as it is.
PROCEDURE_START WarmUp
    push rbx
    mov esi, LOOP_COUNT
    LOOP_BODY EmptyProcedure
    pop rbx
    ret
PROCEDURE_END WarmUp

TIMED_LOOP_COPIES

NON_EXECUTABLE_STACK
