// The instructions a piece of machine code runs, in the order it runs them, from the processor
// itself: one trap after every instruction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace stats {

// A path longer than this is a loop that runs long; it is cut there and reported as too long.
constexpr size_t PATH_BOUND = 1000;
// Processor time one path may take to record: a path at its bound takes a few hundredths of it.
constexpr int PATH_TIME_LIMIT_MS = 200;

struct RecordedPath {
  enum Outcome {
    RETURNED,   // it ran to the RET after it
    TOO_LONG,   // more than PATH_BOUND instructions before that
    LEFT,       // it went on outside its bytes
    FAULTED,    // it raised a fault other than the step trap (fault says which)
    UNTRACED,   // it turned the trap off, so its path is not known
    TIMED_OUT,  // it ran PATH_TIME_LIMIT_MS of processor time without an end
  } outcome = UNTRACED;
  uint32_t fault = 0;  // the system's own code for it, told in words by DescribeFault
  // Of each instruction run, from the code's first byte; a string instruction with a REP prefix
  // once for all its rounds.
  std::vector<uint32_t> offsets;
};

// Runs `code` once, as the blocks run a copy: the operand in EAX and EBX, `length` bytes followed
// by a RET at code[length], in executable memory. The process's handling of faults and its
// processor-time limits are taken over while it runs, and user bytes may do anything: call this
// only in a child process. The floating-point state (MXCSR, the x87 control word and stack) is put
// back as it was and the alignment-check flag cleared, so that what one copy changes does not make
// the next one, or the recorder, fault.
RecordedPath RecordPath(const uint8_t* code, size_t length, int32_t operand);

// A recorded path's fault in words: "SIGSEGV (Segmentation fault)".
std::string DescribeFault(uint32_t fault);

}  // namespace stats
