#include "stats/system/guarded_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "stats/system/sandbox.h"

namespace stats {

GuardedPages::GuardedPages(size_t bytes) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  size_ = (bytes + page - 1) / page * page;
  mapped_ = size_ + 2 * page;
  void* mapping = mmap(nullptr, mapped_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) {
    error_ = std::string("cannot map a stack: ") + std::strerror(errno);
    return;
  }
  mapping_ = static_cast<uint8_t*>(mapping);
  if (mprotect(mapping_ + page, size_, PROT_READ | PROT_WRITE) != 0) {
    error_ = std::string("cannot make a stack writable: ") + std::strerror(errno);
    return;
  }
  begin_ = mapping_ + page;
}

GuardedPages::~GuardedPages() {
  if (mapping_ != nullptr && !ClosedIn()) munmap(mapping_, mapped_);
}

}  // namespace stats
