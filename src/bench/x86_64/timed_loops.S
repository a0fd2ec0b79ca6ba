#include "bench/constants.h"

    .intel_syntax noprefix
    .text

/* Tests assemble these loops a second time with a small count; the shipped program never does. */
#ifdef TEST_ITERATION_COUNT
#define LOOP_COUNT TEST_ITERATION_COUNT
#else
#define LOOP_COUNT ITERATION_COUNT
#endif

# The measured loop, byte for byte the same around every procedure: the counter in ESI, the
# operand in EBX, a direct call. Every copy in the program comes from this macro.
.macro LOOP_BODY procedure
    .byte 0x8B, 0xC3                    # mov eax, ebx
    .byte 0xE8                          # call \procedure
    .long \procedure - . - 4
    .byte 0x83, 0xEE, 0x01              # sub esi, 1
    .byte 0x75, 0xF4                    # jnz back to mov eax, ebx
.endm

# uint32_t TimeKernel_<procedure>(int32_t operand): milliseconds taken by LOOP_COUNT calls.
# Only the store of the start time and the loop run between the two counter readings. The start
# time goes to a slot reserved beforehand rather than a push, so RSP stays 16-byte aligned at
# both calls. RSI is not preserved across calls on x86-64 System V, so ESI is loaded only after
# the first reading.
.macro TIME_KERNEL procedure
    .globl TimeKernel_\procedure
    .type TimeKernel_\procedure, @function
TimeKernel_\procedure:
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
    .size TimeKernel_\procedure, . - TimeKernel_\procedure
.endm

# void WarmUp(void): one untimed loop around the empty procedure, operand left as it is.
    .globl WarmUp
    .type WarmUp, @function
WarmUp:
    push rbx
    mov esi, LOOP_COUNT
    LOOP_BODY EmptyProcedure
    pop rbx
    ret
    .size WarmUp, . - WarmUp

TIME_KERNEL EmptyProcedure
TIME_KERNEL abs0
TIME_KERNEL abs1
TIME_KERNEL abs2
TIME_KERNEL abs3
TIME_KERNEL abs4
TIME_KERNEL abs5
TIME_KERNEL abs6
TIME_KERNEL abs7
TIME_KERNEL abs8
TIME_KERNEL abs9
TIME_KERNEL abs10
TIME_KERNEL abs11

    .section .note.GNU-stack, "", @progbits
