// The kernels in the order the passes time and report them.
#pragma once

#include <cstdint>

#include "console/text_area.h"

// A kernel takes its operand in EAX, so it is never called from C++; only its address is used.
using KernelProcedure = void();
// A kernel's own copy of the timed loop: the operand, then the elapsed milliseconds.
using TimedLoop = uint32_t(int32_t operand);

struct KernelSlot {
  const char* name;
  const char* label;
  KernelProcedure* kernel;
  TimedLoop* time_kernel;
  char* number_text;
};

extern const KernelSlot KernelTable[KERNEL_COUNT];
