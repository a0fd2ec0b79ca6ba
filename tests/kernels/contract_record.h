/* Where the contract thunks record each register, and the sentinels they load beforehand.
   Shared by the thunks' assembly and the tests. */
#pragma once

#define RECORD_RAX 0
#define RECORD_RCX 1
#define RECORD_RDX 2
#define RECORD_RBX 3
#define RECORD_RSI 4
#define RECORD_RDI 5
#define RECORD_RBP 6
#if defined(__x86_64__)
#define RECORD_R8 7
#define RECORD_R9 8
#define RECORD_R10 9
#define RECORD_R11 10
#define RECORD_R12 11
#define RECORD_R13 12
#define RECORD_R14 13
#define RECORD_R15 14
#define RECORD_RSP_BEFORE 15
#define RECORD_RSP_AFTER 16
#define RECORD_SIZE 17
#define RECORD_SLOT_SIZE 8
#define SENTINEL(slot) (0x5E0700005E070000 + (slot)*0x0001000100010001)
#else
#define RECORD_RSP_BEFORE 7
#define RECORD_RSP_AFTER 8
#define RECORD_SIZE 9
#define RECORD_SLOT_SIZE 4
#define SENTINEL(slot) (0x5E070000 + (slot)*0x00010001)
#endif
