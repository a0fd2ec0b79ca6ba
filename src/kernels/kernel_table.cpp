#include "kernels/kernel_table.h"

extern "C" {
void abs0();
void abs1();
void abs2();
void abs3();
void abs4();
void abs5();
void abs6();
void abs7();
void abs8();
void abs9();
void abs10();
void abs11();
uint32_t TimeKernel_abs0(int32_t operand);
uint32_t TimeKernel_abs1(int32_t operand);
uint32_t TimeKernel_abs2(int32_t operand);
uint32_t TimeKernel_abs3(int32_t operand);
uint32_t TimeKernel_abs4(int32_t operand);
uint32_t TimeKernel_abs5(int32_t operand);
uint32_t TimeKernel_abs6(int32_t operand);
uint32_t TimeKernel_abs7(int32_t operand);
uint32_t TimeKernel_abs8(int32_t operand);
uint32_t TimeKernel_abs9(int32_t operand);
uint32_t TimeKernel_abs10(int32_t operand);
uint32_t TimeKernel_abs11(int32_t operand);
}

const KernelSlot KernelTable[KERNEL_COUNT] = {
    {"abs0", ABS0_LABEL, abs0, TimeKernel_abs0, kernel_number_texts[0]},
    {"abs1", ABS1_LABEL, abs1, TimeKernel_abs1, kernel_number_texts[1]},
    {"abs2", ABS2_LABEL, abs2, TimeKernel_abs2, kernel_number_texts[2]},
    {"abs3", ABS3_LABEL, abs3, TimeKernel_abs3, kernel_number_texts[3]},
    {"abs4", ABS4_LABEL, abs4, TimeKernel_abs4, kernel_number_texts[4]},
    {"abs5", ABS5_LABEL, abs5, TimeKernel_abs5, kernel_number_texts[5]},
    {"abs6", ABS6_LABEL, abs6, TimeKernel_abs6, kernel_number_texts[6]},
    {"abs7", ABS7_LABEL, abs7, TimeKernel_abs7, kernel_number_texts[7]},
    {"abs8", ABS8_LABEL, abs8, TimeKernel_abs8, kernel_number_texts[8]},
    {"abs9", ABS9_LABEL, abs9, TimeKernel_abs9, kernel_number_texts[9]},
    {"abs10", ABS10_LABEL, abs10, TimeKernel_abs10, kernel_number_texts[10]},
    {"abs11", ABS11_LABEL, abs11, TimeKernel_abs11, kernel_number_texts[11]},
};
