#include "stats/system/guarded_pages.h"

#include "stats/system/windows/handles.h"

namespace stats {

GuardedPages::GuardedPages(size_t bytes) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const size_t page = system.dwPageSize;
  size_ = (bytes + page - 1) / page * page;
  mapped_ = size_ + 2 * page;
  // Reserved, never committed, pages fault like PAGE_NOACCESS ones: the two ends stay so.
  void* reserved = VirtualAlloc(nullptr, mapped_, MEM_RESERVE, PAGE_NOACCESS);
  if (reserved == nullptr) {
    error_ = "cannot map a stack: " + SystemWords(GetLastError());
    return;
  }
  mapping_ = static_cast<uint8_t*>(reserved);
  if (VirtualAlloc(mapping_ + page, size_, MEM_COMMIT, PAGE_READWRITE) == nullptr) {
    error_ = "cannot make a stack writable: " + SystemWords(GetLastError());
    return;
  }
  begin_ = mapping_ + page;
}

GuardedPages::~GuardedPages() {
  if (mapping_ != nullptr) VirtualFree(mapping_, 0, MEM_RELEASE);
}

}  // namespace stats
