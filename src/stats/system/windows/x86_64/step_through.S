    .intel_syntax noprefix

# Every register the Microsoft x64 caller keeps, with its stack pointer and return address: kept
# apart from the stack, which the code may overwrite, so that both ways back restore them whole.
    .bss
    .p2align 4
step_saved:
    .space 10 * 16 + 10 * 8

    .text

# void StepThrough(const void* code, int32_t operand): calls the code with the operand in EAX and
# EBX and the trap flag set, so that every instruction from the call on raises a single-step
# exception. It clears, with the trap flag, the alignment-check flag the code may have set.
    .globl StepThrough
    .p2align 4
StepThrough:
    lea rax, [rip + step_saved]
    movdqa [rax], xmm6
    movdqa [rax + 16], xmm7
    movdqa [rax + 32], xmm8
    movdqa [rax + 48], xmm9
    movdqa [rax + 64], xmm10
    movdqa [rax + 80], xmm11
    movdqa [rax + 96], xmm12
    movdqa [rax + 112], xmm13
    movdqa [rax + 128], xmm14
    movdqa [rax + 144], xmm15
    mov [rax + 160], rbx
    mov [rax + 168], rbp
    mov [rax + 176], rdi
    mov [rax + 184], rsi
    mov [rax + 192], r12
    mov [rax + 200], r13
    mov [rax + 208], r14
    mov [rax + 216], r15
    mov r11, [rsp]
    mov [rax + 224], r11
    lea r11, [rsp + 8]
    mov [rax + 232], r11
    # The code gets the 32 bytes of shadow space a Windows callee may use, and RSP aligned as
    # the convention has it.
    sub rsp, 40
    mov r11, rcx
    mov eax, edx
    mov ebx, edx
    pushfq
    or qword ptr [rsp], 0x100
    popfq
    call r11
    pushfq
    and qword ptr [rsp], -0x40101
    popfq
    # Falls through to the way back the exception handler also takes.

# StepEscape: where the exception handler resumes the thread to end a recording early, whatever
# the code left in the registers; it returns from StepThrough.
    .globl StepEscape
StepEscape:
    cld
    lea rax, [rip + step_saved]
    movdqa xmm6, [rax]
    movdqa xmm7, [rax + 16]
    movdqa xmm8, [rax + 32]
    movdqa xmm9, [rax + 48]
    movdqa xmm10, [rax + 64]
    movdqa xmm11, [rax + 80]
    movdqa xmm12, [rax + 96]
    movdqa xmm13, [rax + 112]
    movdqa xmm14, [rax + 128]
    movdqa xmm15, [rax + 144]
    mov rbx, [rax + 160]
    mov rbp, [rax + 168]
    mov rdi, [rax + 176]
    mov rsi, [rax + 184]
    mov r12, [rax + 192]
    mov r13, [rax + 200]
    mov r14, [rax + 208]
    mov r15, [rax + 216]
    mov rsp, [rax + 232]
    jmp qword ptr [rax + 224]
