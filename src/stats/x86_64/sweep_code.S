#include "kernels/x86/procedures.inc"
#include "bench/x86/loop_body.inc"

    .intel_syntax noprefix
    .text

# void SweepLoop(int32_t operand, uint32_t calls): the template the sweep copies to each place.
# Its loop is the benchmark's own loop body; the sweep points the CALL at the placed kernel. The
# count arrives in ESI already.
PROCEDURE_START SweepLoopTemplate
    push rbx
    mov ebx, edi
.LSweepLoopBody:
    LOOP_BODY EmptyProcedure
    pop rbx
    ret
.LSweepLoopEnd:
PROCEDURE_END SweepLoopTemplate

# uint64_t DependentAdds(uint64_t rounds): 100 additions per round, each waiting for the one
# before, so a round takes 100 core cycles; the loop's own count runs beside the chain.
PROCEDURE_START DependentAdds
    xor eax, eax
.LDependentRound:
    .rept 100
    add eax, 1
    .endr
    dec rdi
    jnz .LDependentRound
    ret
PROCEDURE_END DependentAdds

# void CheckedKernelCall(const void* kernel, int32_t operand, uint64_t* record): calls a kernel
# with sentinels in RBX, RSI, RDI and RBP and records them after it, with RSP before and after.
PROCEDURE_START CheckedKernelCall
    push rbx
    push rbp
    push rdx
    mov [rdx + 40], rsp
    mov r11, rdi
    mov eax, esi
    movabs rbx, 0x5E0700035E070003
    movabs rsi, 0x5E0700045E070004
    movabs rdi, 0x5E0700055E070005
    movabs rbp, 0x5E0700065E070006
    call r11
    mov rax, [rsp]
    mov [rax], rbx
    mov [rax + 8], rsi
    mov [rax + 16], rdi
    mov [rax + 24], rbp
    mov [rax + 32], rsp
    pop rdx
    pop rbp
    pop rbx
    ret
PROCEDURE_END CheckedKernelCall

    READ_ONLY_DATA
    .p2align 2
# Where the template's loop body starts, and the template's length, as the assembler counted.
    .globl SweepLoopBodyOffset
SweepLoopBodyOffset:
    .long .LSweepLoopBody - SweepLoopTemplate
    .globl SweepLoopTemplateLength
SweepLoopTemplateLength:
    .long .LSweepLoopEnd - SweepLoopTemplate

NON_EXECUTABLE_STACK
