#include "kernels/x86/procedures.inc"
#include "stats/system/x86_64/callee_saved.inc"

    .intel_syntax noprefix
    .text

# void CallWithSentinels(const void* code, uint64_t first, uint64_t second, uint64_t* after): calls
# code(first, second) as C++ would, but with a sentinel in every register its caller keeps, and
# writes what they hold afterwards to `after`: RBX, RBP, R12-R15, then under the Microsoft x64
# convention RDI, RSI and XMM6-XMM15 (two slots each). Sentinel n is 0x5E1E000n5E1E000n, counted
# from 1 in that order.
#ifdef _WIN64
#define CODE rcx
#define FIRST rdx
#define SECOND r8
#define AFTER r9
#define CALLEE_FIRST rcx
#define CALLEE_SECOND rdx
#else
#define CODE rdi
#define FIRST rsi
#define SECOND rdx
#define AFTER rcx
#define CALLEE_FIRST rdi
#define CALLEE_SECOND rsi
#endif

.macro SENTINEL register, n
    movabs \register, 0x5E1E00005E1E0000 + 0x100000001 * (\n)
.endm

FRAME_PROCEDURE_START CallWithSentinels
    SAVE_CALLEE_SAVED 48
    mov [rsp + 32], AFTER
    mov r11, CODE
    mov rax, FIRST
    mov r10, SECOND
    mov CALLEE_FIRST, rax
    mov CALLEE_SECOND, r10
    SENTINEL rbx, 1
    SENTINEL rbp, 2
    SENTINEL r12, 3
    SENTINEL r13, 4
    SENTINEL r14, 5
    SENTINEL r15, 6
#ifdef _WIN64
    SENTINEL rdi, 7
    SENTINEL rsi, 8
    .irp xmm, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
    SENTINEL rax, \xmm + 3
    movq xmm\xmm, rax
    punpcklqdq xmm\xmm, xmm\xmm
    .endr
#endif
    call r11
    mov rax, [rsp + 32]
    mov [rax], rbx
    mov [rax + 8], rbp
    mov [rax + 16], r12
    mov [rax + 24], r13
    mov [rax + 32], r14
    mov [rax + 40], r15
#ifdef _WIN64
    mov [rax + 48], rdi
    mov [rax + 56], rsi
    .irp xmm, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
    movups [rax + 64 + 16 * (\xmm - 6)], xmm\xmm
    .endr
#endif
    RESTORE_CALLEE_SAVED 48
    ret
FRAME_PROCEDURE_END CallWithSentinels

NON_EXECUTABLE_STACK
