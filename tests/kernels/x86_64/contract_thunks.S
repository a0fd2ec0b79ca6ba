# void ContractCall_<kernel>(uint32_t operand): calls the kernel directly, as the timed loop does,
# with a sentinel in every other register, and records every register afterwards.
#include "tests/kernels/contract_record.h"

    .intel_syntax noprefix
    .text

.macro CONTRACT_THUNK kernel
    .globl ContractCall_\kernel
    .type ContractCall_\kernel, @function
ContractCall_\kernel:
    push rbx
    push rbp
    push r12
    push r13
    push r14
    push r15
    mov [rip + contract_record + 8 * RECORD_RSP_BEFORE], rsp
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
    mov [rip + contract_record + 8 * RECORD_RAX], rax
    mov [rip + contract_record + 8 * RECORD_RCX], rcx
    mov [rip + contract_record + 8 * RECORD_RDX], rdx
    mov [rip + contract_record + 8 * RECORD_RBX], rbx
    mov [rip + contract_record + 8 * RECORD_RSI], rsi
    mov [rip + contract_record + 8 * RECORD_RDI], rdi
    mov [rip + contract_record + 8 * RECORD_RBP], rbp
    mov [rip + contract_record + 8 * RECORD_R8], r8
    mov [rip + contract_record + 8 * RECORD_R9], r9
    mov [rip + contract_record + 8 * RECORD_R10], r10
    mov [rip + contract_record + 8 * RECORD_R11], r11
    mov [rip + contract_record + 8 * RECORD_R12], r12
    mov [rip + contract_record + 8 * RECORD_R13], r13
    mov [rip + contract_record + 8 * RECORD_R14], r14
    mov [rip + contract_record + 8 * RECORD_R15], r15
    mov [rip + contract_record + 8 * RECORD_RSP_AFTER], rsp
    mov rsp, [rip + contract_record + 8 * RECORD_RSP_BEFORE]
    pop r15
    pop r14
    pop r13
    pop r12
    pop rbp
    pop rbx
    ret
    .size ContractCall_\kernel, . - ContractCall_\kernel
.endm

CONTRACT_THUNK EmptyProcedure
CONTRACT_THUNK abs0
CONTRACT_THUNK abs1
CONTRACT_THUNK abs2
CONTRACT_THUNK abs3
CONTRACT_THUNK abs4
CONTRACT_THUNK abs5
CONTRACT_THUNK abs6
CONTRACT_THUNK abs7
CONTRACT_THUNK abs8
CONTRACT_THUNK abs9
CONTRACT_THUNK abs10
CONTRACT_THUNK abs11

    .bss
    .p2align 3
    .globl contract_record
contract_record:
    .zero 8 * RECORD_SIZE

    .section .note.GNU-stack, "", @progbits
