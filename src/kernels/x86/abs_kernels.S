# The twelve absolute-value kernels. Operand in EAX; each may change EAX, ECX, EDX and the flags.
# The bytes are written out so that the assembler cannot pick another encoding of an instruction.
# "skip" is a short jump over the NEG EAX onto the trailer.
#include "kernels/x86/procedures.inc"

    .text

KERNEL_START abs0
    .byte 0x8B, 0xC8                    # mov ecx, eax
    .byte 0x25, 0x00, 0x00, 0x00, 0x80  # and eax, 80000000h
    .byte 0x3D, 0x00, 0x00, 0x00, 0x80  # cmp eax, 80000000h
    .byte 0x8B, 0xC1                    # mov eax, ecx
    .byte 0x75, 0x02                    # jne skip
    .byte 0xF7, 0xD8                    # neg eax
KERNEL_TRAILER abs0

KERNEL_START abs1
    .byte 0xA9, 0x00, 0x00, 0x00, 0x80  # test eax, 80000000h
    .byte 0x74, 0x02                    # je skip
    .byte 0xF7, 0xD8                    # neg eax
KERNEL_TRAILER abs1

KERNEL_START abs2
    .byte 0x0B, 0xC0                    # or eax, eax
    .byte 0x79, 0x02                    # jns skip
    .byte 0xF7, 0xD8                    # neg eax
KERNEL_TRAILER abs2

KERNEL_START abs3
    .byte 0x8B, 0xC8                    # mov ecx, eax
    .byte 0xC1, 0xF8, 0x1F              # sar eax, 31
    .byte 0x03, 0xC8                    # add ecx, eax
    .byte 0x33, 0xC8                    # xor ecx, eax
    .byte 0x8B, 0xC1                    # mov eax, ecx
KERNEL_TRAILER abs3

# The result stays in ECX; EAX is left holding the sign mask.
KERNEL_START abs4
    .byte 0x8B, 0xC8                    # mov ecx, eax
    .byte 0xC1, 0xF8, 0x1F              # sar eax, 31
    .byte 0x03, 0xC8                    # add ecx, eax
    .byte 0x33, 0xC8                    # xor ecx, eax
KERNEL_TRAILER abs4

KERNEL_START abs5
    .byte 0x99                          # cdq
    .byte 0x33, 0xC2                    # xor eax, edx
    .byte 0x2B, 0xC2                    # sub eax, edx
KERNEL_TRAILER abs5

KERNEL_START abs6
    .byte 0x3D, 0x00, 0x00, 0x00, 0x80  # cmp eax, 80000000h
    .byte 0x72, 0x02                    # jb skip
    .byte 0xF7, 0xD8                    # neg eax
KERNEL_TRAILER abs6

KERNEL_START abs7
    .byte 0x8B, 0xC8                    # mov ecx, eax
    .byte 0xF7, 0xD9                    # neg ecx
    .byte 0x85, 0xC0                    # test eax, eax
    .byte 0x0F, 0x48, 0xC1              # cmovs eax, ecx
KERNEL_TRAILER abs7

KERNEL_START abs8
    .byte 0x83, 0xC0, 0x00              # add eax, 0
    .byte 0x79, 0x02                    # jns skip
    .byte 0xF7, 0xD8                    # neg eax
KERNEL_TRAILER abs8

KERNEL_START abs9
    .byte 0x85, 0xC0                    # test eax, eax
    .byte 0x79, 0x02                    # jns skip
    .byte 0xF7, 0xD8                    # neg eax
KERNEL_TRAILER abs9

KERNEL_START abs10
    .byte 0x0F, 0xBA, 0xE0, 0x1F        # bt eax, 31
    .byte 0x73, 0x02                    # jae skip
    .byte 0xF7, 0xD8                    # neg eax
KERNEL_TRAILER abs10

KERNEL_START abs11
    .byte 0x8B, 0xD0                    # mov edx, eax
    .byte 0xF7, 0xDA                    # neg edx
    .byte 0x0F, 0x49, 0xC2              # cmovns eax, edx
KERNEL_TRAILER abs11

NON_EXECUTABLE_STACK
