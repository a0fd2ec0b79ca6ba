// The few operating-system services the benchmark needs. Everything above this layer calls these
// and nothing else of the system; the tests link a fake in place of the real source.
#pragma once

#include <cstdint>

// Milliseconds from an arbitrary start, wrapping modulo 2^32. The timed loops call it from
// assembly.
extern "C" uint32_t PlatformTickCount();

void PlatformRaisePriority();
void PlatformNormalPriority();

// A pause that nothing cuts short: not a signal, not a queued callback.
void PlatformPause(uint32_t milliseconds);
// A short yield of the processor while polling for a key.
void PlatformSleep(uint32_t milliseconds);

// Writes the bytes to standard output; returns how many were written. A failure is remembered,
// unless it only means that the reader closed the output (that reader chose to stop reading).
uint32_t PlatformWriteOutput(const char* bytes, uint32_t length);

// When a write to standard output failed, writes one line naming the system's reason to standard
// error and returns true.
bool PlatformReportLostOutput();

// Drops every key pressed so far and prepares standard input for the key wait.
void PlatformBeginKeyWait();
// Never blocks; true when a key waits, or when standard input can never deliver one.
bool PlatformKeyWaiting();
// Takes the waiting key without echo and leaves standard input as it was before the wait.
void PlatformTakeKey();

[[noreturn]] void PlatformExitProcess(uint32_t exit_code);
