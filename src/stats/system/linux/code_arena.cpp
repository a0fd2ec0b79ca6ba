#include "stats/system/code_arena.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "stats/system/sandbox.h"

namespace stats {

CodeArena::CodeArena(size_t bytes) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  size_ = (bytes + page - 1) / page * page;
  void* mapping = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) {
    error_ = std::string("cannot map ") + std::to_string(size_) + " bytes: " + std::strerror(errno);
    size_ = 0;
    return;
  }
  bytes_ = static_cast<uint8_t*>(mapping);
}

CodeArena::~CodeArena() {
  if (bytes_ != nullptr && !ClosedIn()) munmap(bytes_, size_);
}

bool CodeArena::MakeExecutable() {
  if (bytes_ == nullptr) return false;  // never mapped: error() says why
  if (mprotect(bytes_, size_, PROT_READ | PROT_EXEC) != 0) {
    error_ = std::string("the system refuses executable pages (") + std::strerror(errno) +
             "); a hardened kernel, an SELinux policy or a noexec mount can do this";
    return false;
  }
  executable_ = true;
  return true;
}

}  // namespace stats
