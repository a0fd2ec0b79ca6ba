#include "bench/constants.h"
#include "kernels/x86/procedures.inc"
#include "bench/x86/loop_body.inc"

    .intel_syntax noprefix
    .text

# uint32_t TimeKernel_<procedure>(int32_t operand), Microsoft x64: milliseconds taken by
# LOOP_COUNT calls. RSI and RBX survive calls here, so the counter is loaded before the first
# reading and only the store of the start time and the loop run between the two readings. Each
# counter call gets its 32 bytes of shadow space; the start time lies just above them, and RSP
# stays 16-byte aligned at both calls. These procedures call others, so the x64 convention wants
# unwind data for their prologues, which the .seh directives emit beside the unchanged code.
.macro TIME_KERNEL procedure
PROCEDURE_START TimeKernel_\procedure
    .seh_proc TimeKernel_\procedure
    push rbx
    .seh_pushreg rbx
    push rsi
    .seh_pushreg rsi
    sub rsp, 40
    .seh_stackalloc 40
    .seh_endprologue
    mov ebx, ecx
    mov esi, LOOP_COUNT
    call PlatformTickCount
    mov [rsp + 32], eax
    LOOP_BODY \procedure
    call PlatformTickCount
    sub eax, [rsp + 32]
    add rsp, 40
    pop rsi
    pop rbx
    ret
    .seh_endproc
PROCEDURE_END TimeKernel_\procedure
.endm

# void WarmUp(void): one untimed loop around the empty procedure, operand left as it is.
PROCEDURE_START WarmUp
    .seh_proc WarmUp
    push rbx
    .seh_pushreg rbx
    push rsi
    .seh_pushreg rsi
    .seh_endprologue
    mov esi, LOOP_COUNT
    LOOP_BODY EmptyProcedure
    pop rsi
    pop rbx
    ret
    .seh_endproc
PROCEDURE_END WarmUp

TIMED_LOOP_COPIES

NON_EXECUTABLE_STACK
