// Pages for placed code and for a kernel's stack, made with VirtualAlloc as the system layer makes
// them, for a test program built from the sweep's own sources without that layer.
#include <windows.h>

#include "stats/system/code_arena.h"
#include "stats/system/guarded_pages.h"

namespace stats {

namespace {

constexpr size_t PAGE = 4096;

size_t WholePages(size_t bytes) { return (bytes + PAGE - 1) / PAGE * PAGE; }

}  // namespace

CodeArena::CodeArena(size_t bytes) : size_(WholePages(bytes)) {
  bytes_ =
      static_cast<uint8_t*>(VirtualAlloc(nullptr, size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  if (bytes_ == nullptr) error_ = "VirtualAlloc failed";
}

CodeArena::~CodeArena() {
  if (bytes_ != nullptr) VirtualFree(bytes_, 0, MEM_RELEASE);
}

bool CodeArena::MakeExecutable() {
  DWORD before = 0;
  executable_ = VirtualProtect(bytes_, size_, PAGE_EXECUTE_READ, &before) != 0;
  if (!executable_) error_ = "VirtualProtect failed";
  return executable_;
}

// A page that faults at each end, as the stack a kernel runs on has.
GuardedPages::GuardedPages(size_t bytes) : size_(WholePages(bytes)), mapped_(size_ + 2 * PAGE) {
  mapping_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, mapped_, MEM_RESERVE, PAGE_NOACCESS));
  if (mapping_ == nullptr ||
      VirtualAlloc(mapping_ + PAGE, size_, MEM_COMMIT, PAGE_READWRITE) == nullptr) {
    error_ = "VirtualAlloc failed";
    return;
  }
  begin_ = mapping_ + PAGE;
}

GuardedPages::~GuardedPages() {
  if (mapping_ != nullptr) VirtualFree(mapping_, 0, MEM_RELEASE);
}

}  // namespace stats
