// The kernels in the order the passes time and report them, built from the kernel list.
#pragma once

#include <cstdint>

#include "kernels/kernel_list.h"

#define KERNEL_COUNT_ONE(name, label, result) +1
constexpr int KERNEL_COUNT = 0 KERNEL_LIST(KERNEL_COUNT_ONE);
#undef KERNEL_COUNT_ONE

// A kernel takes its operand in EAX, so it is never called from C++; only its address is used.
using KernelProcedure = void();

// Where a kernel leaves its result.
enum class ResultRegister { EAX, ECX };

struct KernelSlot {
  const char* name;
  const char* label;  // one space, the kernel's name and words, CR LF
  KernelProcedure* kernel;
  // Bytes from the first instruction to the RET, trailer included, as the assembler counted them.
  const uint32_t* length;
  ResultRegister result;
};

extern const KernelSlot KernelTable[KERNEL_COUNT];
