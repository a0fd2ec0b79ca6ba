// The run frame and the timed loops around the empty procedure.
#pragma once

#include <cstdint>

#include "bench/constants.h"

// The timed loops are assembly: each takes the operand and returns the elapsed milliseconds.
extern "C" {
void EmptyProcedure();
void WarmUp();
uint32_t TimeKernel_EmptyProcedure(int32_t operand);
}

extern uint32_t baseline_ms;

void RunBenchmark();
void RunPasses();
void WriteSectionHeader(const char* rule, const char* title);
