# void ContractCall_<kernel>(uint32_t operand, uint32_t* record), cdecl: calls the kernel directly,
# as the timed loop does, with a sentinel in every other register, and records every register after.
#include "kernels/x86/procedures.inc"
#include "tests/kernels/contract_record.h"

    .intel_syntax noprefix
    .text

.macro CONTRACT_THUNK kernel
PROCEDURE_START ContractCall_\kernel
    push ebx
    push esi
    push edi
    push ebp
    mov eax, [esp + 24]
    push eax
    mov [eax + 4 * RECORD_RSP_BEFORE], esp
    mov eax, [esp + 24]
    mov ecx, SENTINEL(RECORD_RCX)
    mov edx, SENTINEL(RECORD_RDX)
    mov ebx, SENTINEL(RECORD_RBX)
    mov esi, SENTINEL(RECORD_RSI)
    mov edi, SENTINEL(RECORD_RDI)
    mov ebp, SENTINEL(RECORD_RBP)
    call SYMBOL_PREFIX\kernel
    push eax
    mov eax, [esp + 4]
    mov [eax + 4 * RECORD_RCX], ecx
    mov [eax + 4 * RECORD_RDX], edx
    mov [eax + 4 * RECORD_RBX], ebx
    mov [eax + 4 * RECORD_RSI], esi
    mov [eax + 4 * RECORD_RDI], edi
    mov [eax + 4 * RECORD_RBP], ebp
    lea ecx, [esp + 4]
    mov [eax + 4 * RECORD_RSP_AFTER], ecx
    pop ecx
    mov [eax + 4 * RECORD_RAX], ecx
    add esp, 4
    pop ebp
    pop edi
    pop esi
    pop ebx
    ret
PROCEDURE_END ContractCall_\kernel
.endm

#include "tests/kernels/x86/contract_thunk_list.inc"

NON_EXECUTABLE_STACK
