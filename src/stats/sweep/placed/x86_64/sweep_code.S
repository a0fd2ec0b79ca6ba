#include "kernels/x86/procedures.inc"
#include "bench/x86/loop_body.inc"
#include "stats/system/x86_64/callee_saved.inc"
#include "stats/system/x86_64/calling_convention.inc"
#include "stats/sweep/placed/x86_64/checked_loop.inc"

    .intel_syntax noprefix
    .text


# void SweepLoop(int32_t operand, uint32_t calls): the template the sweep copies to each place.
# Its loop is the benchmark's own loop body; the sweep points the CALL at the placed kernel. Under
# System V the count arrives in ESI already. The kernel runs on a stack of its own, with the check
# record's values in the registers it must keep; what they hold afterwards is recorded for the
# sweep, and the direction flag is cleared once the loop ends rather than inside it, where it would
# be timed.
PROCEDURE_START SweepLoopTemplate
    ENTER_CHECKED_LOOP .LSweepLoopEnter
.LSweepLoopBody:
    LOOP_BODY EmptyProcedure
    LEAVE_CHECKED_LOOP .LSweepLoopLeave
.LSweepLoopEnd:
PROCEDURE_END SweepLoopTemplate

# A block of inline copies (for latency and throughput) is joined from these pieces: the prologue
# (operand and count as for the placed loop), the copies with their glue, the loop's
# end, and the epilogue. The prologue ends where the block's loop starts.
PROCEDURE_START BlockPrologue
    ENTER_CHECKED_LOOP .LBlockPrologueEnter
    mov eax, ebx
.LBlockPrologueEnd:
PROCEDURE_END BlockPrologue

PROCEDURE_START BlockEpilogue
    LEAVE_CHECKED_LOOP .LBlockEpilogueLeave
.LBlockEpilogueEnd:
PROCEDURE_END BlockEpilogue

# The rounds' count of the two chains below, in a register neither convention's caller keeps
# and neither chain uses.
#define ROUNDS r10
.macro TAKE_ROUNDS
    mov ROUNDS, FIRST_ARGUMENT
.endm

# uint64_t ChainRoundsTicks(uint64_t rounds): the time-stamp counter's ticks over 100 additions per
# round, each waiting for the one before, so a round takes 100 core cycles at whatever clock the
# core runs; the loop's own count runs beside the chain. LFENCE keeps the readings in place.
PROCEDURE_START ChainRoundsTicks
    TAKE_ROUNDS
    lfence
    rdtsc
    shl rdx, 32
    or rax, rdx
    mov r8, rax
    lfence
    xor eax, eax
.LChainRound:
    .rept 100
    add eax, 1
    .endr
    dec ROUNDS
    jnz .LChainRound
    lfence
    rdtsc
    shl rdx, 32
    or rax, rdx
    sub rax, r8
    ret
PROCEDURE_END ChainRoundsTicks

# uint64_t WitnessRoundsTicks(uint64_t rounds): the ticks of 100 steps per round, each step three
# additions of three separate chains. On a core of its own a step takes one cycle whatever the
# design (three adders are few); a busy other thread on the same core takes adders and issue slots
# from it, and the steps slow, while the single chain above hardly notices.
PROCEDURE_START WitnessRoundsTicks
    TAKE_ROUNDS
    lfence
    rdtsc
    shl rdx, 32
    or rax, rdx
    mov r8, rax
    lfence
    xor eax, eax
    xor ecx, ecx
    xor r9d, r9d
.LWitnessRound:
    .rept 100
    add eax, 1
    add ecx, 1
    add r9d, 1
    .endr
    dec ROUNDS
    jnz .LWitnessRound
    lfence
    rdtsc
    shl rdx, 32
    or rax, rdx
    sub rax, r8
    ret
PROCEDURE_END WitnessRoundsTicks

# void CheckedKernelCall(const void* kernel, int32_t operand, uint64_t* record): calls a kernel
# with sentinels in every register the calling code keeps (RBX, RSI, RDI, RBP, R12-R15, and
# XMM6-XMM15, which only a Windows caller keeps) and records them after it, then RFLAGS, RSP after
# and before the call, and RAX. The record's address lies just above the kernel's return address
# (and its shadow space, on Windows), where a kernel that writes its caller's frame wrecks it.
#define CALL_ROOM (16 + SHADOW_SPACE)
#define RECORD_AT SHADOW_SPACE
FRAME_PROCEDURE_START CheckedKernelCall
    SAVE_CALLEE_SAVED CALL_ROOM
    mov [rsp + RECORD_AT], THIRD_ARGUMENT
    mov [THIRD_ARGUMENT + 80], rsp
    mov r11, FIRST_ARGUMENT
    mov eax, SECOND_ARGUMENT_32
    movabs rbx, 0x5E0700035E070003
    movabs rsi, 0x5E0700045E070004
    movabs rdi, 0x5E0700055E070005
    movabs rbp, 0x5E0700065E070006
    movabs r12, 0x5E0700075E070007
    movabs r13, 0x5E0700085E070008
    movabs r14, 0x5E0700095E070009
    movabs r15, 0x5E07000A5E07000A
    .irp xmm, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
    movabs rcx, 0x5E0700105E070010 + 0x100000001 * (\xmm - 6)
    movq xmm\xmm, rcx
    punpcklqdq xmm\xmm, xmm\xmm
    .endr
    call r11
    pushfq
    cld
    push rax
    mov rax, [rsp + 16 + RECORD_AT]
    pop qword ptr [rax + 88]
    pop qword ptr [rax + 64]
    mov [rax], rbx
    mov [rax + 8], rsi
    mov [rax + 16], rdi
    mov [rax + 24], rbp
    mov [rax + 32], r12
    mov [rax + 40], r13
    mov [rax + 48], r14
    mov [rax + 56], r15
    .irp xmm, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
    movups [rax + 96 + 16 * (\xmm - 6)], xmm\xmm
    .endr
    mov [rax + 72], rsp
    RESTORE_CALLEE_SAVED CALL_ROOM
    ret
FRAME_PROCEDURE_END CheckedKernelCall

    READ_ONLY_DATA
    .p2align 2
# Where the template's loop body starts, and the template's length, as the assembler counted.
    .globl SweepLoopBodyOffset
SweepLoopBodyOffset:
    .long .LSweepLoopBody - SweepLoopTemplate
    .globl SweepLoopTemplateLength
SweepLoopTemplateLength:
    .long .LSweepLoopEnd - SweepLoopTemplate
    .globl BlockPrologueLength
BlockPrologueLength:
    .long .LBlockPrologueEnd - BlockPrologue
    .globl BlockEpilogueLength
BlockEpilogueLength:
    .long .LBlockEpilogueEnd - BlockEpilogue
# Where each copied piece holds the check record's address: two bytes into its MOVABS.
    .globl SweepLoopRecordAt
SweepLoopRecordAt:
    .long .LSweepLoopEnter - SweepLoopTemplate + 2, .LSweepLoopLeave - SweepLoopTemplate + 2
    .globl BlockPrologueRecordAt
BlockPrologueRecordAt:
    .long .LBlockPrologueEnter - BlockPrologue + 2
    .globl BlockEpilogueRecordAt
BlockEpilogueRecordAt:
    .long .LBlockEpilogueLeave - BlockEpilogue + 2

# The glue between inline copies and the block's loop end, as bytes, so that the encodings are
# the ones named. The sweep writes the JNZ's displacement back to the block's start.
    .globl GlueResultFromEcx
GlueResultFromEcx:
    .byte 0x8B, 0xC1                    # mov eax, ecx
    .globl GlueNegate
GlueNegate:
    .byte 0xF7, 0xD8                    # neg eax
    .globl GlueFreshOperand
GlueFreshOperand:
    .byte 0x8B, 0xC3                    # mov eax, ebx
    .globl BlockLoopEnd
BlockLoopEnd:
    .byte 0x83, 0xEE, 0x01              # sub esi, 1
    .byte 0x0F, 0x85, 0, 0, 0, 0        # jnz rel32 back to the block's start

# The end of the contract check's inline copy. A block holds no return address for a RET among a
# kernel's bytes, so the check tells a copy that ran to its end from one that returned early: the
# end inverts RBX, which the kernel keeps, and NOT leaves the flags as the kernel left them.
    .globl InlineCheckEnd
InlineCheckEnd:
    .byte 0x48, 0xF7, 0xD3              # not rbx
    .byte 0xC3                          # ret

NON_EXECUTABLE_STACK
