# void ContractCall_<kernel>(uint32_t operand, uint64_t* record): calls the kernel directly, as
# the timed loop does, with a sentinel in every other register, and records every register after.
# On Windows the arguments arrive in RCX and RDX, and RDI and RSI belong to the caller.
#include "kernels/x86/procedures.inc"
#include "tests/kernels/contract_record.h"

    .intel_syntax noprefix
    .text

.macro CONTRACT_THUNK kernel
PROCEDURE_START ContractCall_\kernel
#ifdef _WIN64
    push rdi
    push rsi
    mov edi, ecx
    mov rsi, rdx
#endif
    push rbx
    push rbp
    push r12
    push r13
    push r14
    push r15
    push rsi
    mov [rsi + 8 * RECORD_RSP_BEFORE], rsp
    mov eax, edi
    movabs rcx, SENTINEL(RECORD_RCX)
    movabs rdx, SENTINEL(RECORD_RDX)
    movabs rbx, SENTINEL(RECORD_RBX)
    movabs rsi, SENTINEL(RECORD_RSI)
    movabs rdi, SENTINEL(RECORD_RDI)
    movabs rbp, SENTINEL(RECORD_RBP)
    movabs r8, SENTINEL(RECORD_R8)
    movabs r9, SENTINEL(RECORD_R9)
    movabs r10, SENTINEL(RECORD_R10)
    movabs r11, SENTINEL(RECORD_R11)
    movabs r12, SENTINEL(RECORD_R12)
    movabs r13, SENTINEL(RECORD_R13)
    movabs r14, SENTINEL(RECORD_R14)
    movabs r15, SENTINEL(RECORD_R15)
    call \kernel
    push rax
    mov rax, [rsp + 8]
    mov [rax + 8 * RECORD_RCX], rcx
    mov [rax + 8 * RECORD_RDX], rdx
    mov [rax + 8 * RECORD_RBX], rbx
    mov [rax + 8 * RECORD_RSI], rsi
    mov [rax + 8 * RECORD_RDI], rdi
    mov [rax + 8 * RECORD_RBP], rbp
    mov [rax + 8 * RECORD_R8], r8
    mov [rax + 8 * RECORD_R9], r9
    mov [rax + 8 * RECORD_R10], r10
    mov [rax + 8 * RECORD_R11], r11
    mov [rax + 8 * RECORD_R12], r12
    mov [rax + 8 * RECORD_R13], r13
    mov [rax + 8 * RECORD_R14], r14
    mov [rax + 8 * RECORD_R15], r15
    lea rcx, [rsp + 8]
    mov [rax + 8 * RECORD_RSP_AFTER], rcx
    pop rcx
    mov [rax + 8 * RECORD_RAX], rcx
    add rsp, 8
    pop r15
    pop r14
    pop r13
    pop r12
    pop rbp
    pop rbx
#ifdef _WIN64
    pop rsi
    pop rdi
#endif
    ret
PROCEDURE_END ContractCall_\kernel
.endm

#include "tests/kernels/x86/contract_thunk_list.inc"

NON_EXECUTABLE_STACK
