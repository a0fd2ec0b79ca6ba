#include "stats/system/shared_page.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstring>

namespace stats {

SharedPage::SharedPage(size_t bytes) : size_(bytes) {
  void* page = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (page == MAP_FAILED) {
    error_ = std::strerror(errno);
  } else {
    bytes_ = page;
  }
}

SharedPage::~SharedPage() {
  if (bytes_ != nullptr) munmap(bytes_, size_);
}

}  // namespace stats
