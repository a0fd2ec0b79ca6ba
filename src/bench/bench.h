// The run frame, the passes and the timed loops around the empty procedure and the kernels.
#pragma once

#include <cstdint>

#include "bench/constants.h"
#include "console/text.h"
#include "kernels/kernel_table.h"

// The timed loops are assembly: each takes the operand and returns the elapsed milliseconds.
using TimedLoop = uint32_t(int32_t operand);

#define DECLARE_TIMED_LOOP(name, label, result) uint32_t TimeKernel_##name(int32_t operand);
extern "C" {
void EmptyProcedure();
extern const uint32_t EmptyProcedure_length;  // the trailer alone
void WarmUp();
uint32_t TimeKernel_EmptyProcedure(int32_t operand);
KERNEL_LIST(DECLARE_TIMED_LOOP)
}
#undef DECLARE_TIMED_LOOP

// Row by row beside KernelTable: each kernel's own copy of the timed loop and its number buffer.
extern TimedLoop* const TimedLoops[KERNEL_COUNT];
extern char kernel_number_texts[KERNEL_COUNT][NUMBER_TEXT_SIZE];

extern uint32_t baseline_ms;

void RunBenchmark();
void RunPasses();
void WriteSectionHeader(const char* rule, const char* title);
