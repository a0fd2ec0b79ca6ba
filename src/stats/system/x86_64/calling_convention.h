// The calling convention the placed code follows, as the compiler's target decides it (not the
// system it runs on): Microsoft's x64 convention on 64-bit Windows, System V elsewhere. A Windows
// caller keeps RDI, RSI and XMM6-XMM15 as well, so a kernel must too; calling_convention.inc makes
// the same choice, and what a kernel must keep differs nowhere else.
#pragma once

namespace stats {

#ifdef _WIN64
constexpr bool MICROSOFT_X64 = true;
#else
constexpr bool MICROSOFT_X64 = false;
#endif

// XMM6 and the registers after it that a kernel keeps.
constexpr int KEPT_XMM_REGISTERS = MICROSOFT_X64 ? 10 : 0;

// What a kernel keeps, as a broken contract names it.
constexpr const char* KEPT_BY_A_KERNEL =
    MICROSOFT_X64 ? "RBX, RSI, RDI, RBP, R12-R15, XMM6-XMM15 and the stack pointer, as the Windows "
                    "x64 calling convention asks (Linux's asks for no XMM register)"
                  : "RBX, RSI, RDI, RBP, R12-R15 and the stack pointer";

}  // namespace stats
