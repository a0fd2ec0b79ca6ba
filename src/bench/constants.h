/* Shared by the C++ code and the assembly of the timed loops, hence plain definitions. */
#pragma once

#define ITERATION_COUNT 0x3B9ACA00 /* 1,000,000,000 calls per timed loop */
#define PAUSE_MS 100               /* after every result line */
