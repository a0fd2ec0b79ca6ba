    .intel_syntax noprefix

    .text

# int64_t LinuxSystemCall(int64_t number, int64_t a1, int64_t a2, int64_t a3, int64_t a4): a
# Linux x86-64 system call made straight to the host's kernel under Wine, with the Microsoft x64
# caller's arguments and registers kept; the arguments past the fourth are zero.
    .globl LinuxSystemCall
    .p2align 4
LinuxSystemCall:
    push rdi
    push rsi
    mov rax, rcx
    mov rdi, rdx
    mov rsi, r8
    mov rdx, r9
    mov r10, [rsp + 56]
    xor r8d, r8d
    xor r9d, r9d
    syscall
    pop rsi
    pop rdi
    ret

# The SIGSYS handler, entered the System V way (RSI: the siginfo) on the thread's signal stack when
# the filter refuses a call: EndForLinuxCall(number, audit arch) ends the process and never returns.
    .globl OnRefusedLinuxCall
    .p2align 4
OnRefusedLinuxCall:
    mov ecx, [rsi + 24]
    mov edx, [rsi + 28]
    and rsp, -16
    sub rsp, 32
    call EndForLinuxCall
    ud2
