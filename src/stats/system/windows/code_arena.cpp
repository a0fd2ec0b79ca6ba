#include "stats/system/code_arena.h"

#include "stats/system/windows/handles.h"
#include "stats/system/windows/linux_call_wall.h"

namespace stats {

CodeArena::CodeArena(size_t bytes) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const size_t page = system.dwPageSize;
  size_ = (bytes + page - 1) / page * page;
  void* pages = VirtualAlloc(nullptr, size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (pages == nullptr) {
    error_ = "cannot map " + std::to_string(size_) + " bytes: " + SystemWords(GetLastError());
    size_ = 0;
    return;
  }
  bytes_ = static_cast<uint8_t*>(pages);
}

CodeArena::~CodeArena() {
  if (bytes_ == nullptr) return;
  if (executable_) ForgetPlacedCode(bytes_);
  VirtualFree(bytes_, 0, MEM_RELEASE);
}

bool CodeArena::MakeExecutable() {
  if (bytes_ == nullptr) return false;  // never allocated: error() says why
  DWORD before = 0;
  if (!VirtualProtect(bytes_, size_, PAGE_EXECUTE_READ, &before)) {
    error_ = "the system refuses executable pages (" + SystemWords(GetLastError()) +
             "); a process that forbids dynamic code, or a policy that does, can do this";
    return false;
  }
  // What was written as data is fetched as instructions from here on.
  FlushInstructionCache(GetCurrentProcess(), bytes_, size_);
  NotePlacedCode(bytes_, size_);
  executable_ = true;
  return true;
}

}  // namespace stats
