/* Every kernel once, in the order the passes time and report them: its name (the procedure's
   symbol), its label, the text written after its number in a result line, and the register it
   leaves its result in. Read by the C++ compiler and by the assembler, so it holds nothing but
   this list.
   Adding a kernel: a line here and its bytes in x86/abs_kernels.S. */
#pragma once

#define KERNEL_LIST(KERNEL)                    \
  KERNEL(abs0, " abs0 tovak\r\n", EAX)         \
  KERNEL(abs1, " abs1 dravispo\r\n", EAX)      \
  KERNEL(abs2, " abs2 zemu 1\r\n", EAX)        \
  KERNEL(abs3, " abs3 quendis 1\r\n", EAX)     \
  KERNEL(abs4, " abs4 quendis 2\r\n", ECX)     \
  KERNEL(abs5, " abs5 wobla\r\n", EAX)         \
  KERNEL(abs6, " abs6 kebrun\r\n", EAX)        \
  KERNEL(abs7, " abs7 falno 1\r\n", EAX)       \
  KERNEL(abs8, " abs8 falno 2\r\n", EAX)       \
  KERNEL(abs9, " abs9 Ostrabine 1\r\n", EAX)   \
  KERNEL(abs10, " abs10 Ostrabine 2\r\n", EAX) \
  KERNEL(abs11, " abs11 zemu 2\r\n", EAX)
