// What a kernel must leave as it found it, checked after every timed chunk: the operand in RBX, the
// registers its caller keeps (RDI and XMM6-XMM15 too under the Windows x64 convention, whose
// caller's RSI comes back from the record as well), the stack pointer and the direction flag. The
// placed code runs the kernel on a stack of its own, so that a write above its return address
// reaches no caller. The values the kept registers are given come from the sweep's seed: a kernel
// cannot tell a check from a timing, and a failure can be replayed.
#pragma once

#include <cstdint>
#include <string>

namespace stats {

// The record the placed code finds by address; the first call maps the kernel's stack. Null when
// it could not, with the reason in LoopCheckError().
uint64_t* LoopCheckRecord();
const std::string& LoopCheckError();

// Writes the record's address where a copied prologue or epilogue holds it.
void WriteLoopCheckAddress(uint8_t* at);

// The values the kept registers are given, from `seed`.
void SeedLoopCheck(uint64_t seed);

// Before every chunk: the record as the sweep gives it, whatever the last kernel wrote there.
void ArmLoopCheck();

// After a chunk run with `operand`: empty, or what the kernel left changed ("it changed R12").
std::string LoopCheckFailure(int32_t operand);

}  // namespace stats
