#include "bench/constants.h"
#include "kernels/x86/procedures.inc"
#include "bench/x86/loop_body.inc"

    .intel_syntax noprefix
    .text

# uint32_t TimeKernel_<procedure>(int32_t operand), cdecl: milliseconds taken by LOOP_COUNT calls.
# ESI survives the counter call on IA-32, so the counter is loaded before the first reading, and
# only the store of the start time and the loop run between the two readings. The start time goes
# to a slot reserved beforehand rather than a push, so ESP keeps the 16-byte alignment that Linux
# expects at both calls (Windows needs only 4).
.macro TIME_KERNEL procedure
PROCEDURE_START TimeKernel_\procedure
    push ebx
    push esi
    sub esp, 20
    mov ebx, [esp + 32]
    mov esi, LOOP_COUNT
    call C_NAME(PlatformTickCount)
    mov [esp + 8], eax
    LOOP_BODY \procedure
    call C_NAME(PlatformTickCount)
    sub eax, [esp + 8]
    add esp, 20
    pop esi
    pop ebx
    ret
PROCEDURE_END TimeKernel_\procedure
.endm

# void WarmUp(void): one untimed loop around the empty procedure, operand left as it is.
PROCEDURE_START WarmUp
    push ebx
    push esi
    mov esi, LOOP_COUNT
    LOOP_BODY EmptyProcedure
    pop esi
    pop ebx
    ret
PROCEDURE_END WarmUp

TIMED_LOOP_COPIES

NON_EXECUTABLE_STACK
