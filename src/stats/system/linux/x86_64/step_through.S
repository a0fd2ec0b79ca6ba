#include "stats/system/x86_64/callee_saved.inc"

    .intel_syntax noprefix
    .text

# void StepThrough(const void* code, int32_t operand): calls the code with the operand in EAX and
# EBX and the trap flag set, so that every instruction from the call on ends in a SIGTRAP. It
# clears, with the trap flag, the alignment-check flag the code may have set.
    .globl StepThrough
    .type StepThrough, @function
    .p2align 4
StepThrough:
    SAVE_CALLEE_SAVED
    mov r11, rdi
    mov eax, esi
    mov ebx, esi
    pushfq
    or qword ptr [rsp], 0x100
    popfq
    call r11
    pushfq
    and qword ptr [rsp], -0x40101
    popfq
    cld
    RESTORE_CALLEE_SAVED
    ret
    .size StepThrough, . - StepThrough

    .section .note.GNU-stack, "", @progbits
