#include "stats/system/shared_page.h"

#include <sys/mman.h>

namespace stats {

SharedPage::SharedPage(size_t bytes) : size_(bytes) {
  void* page = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  bytes_ = page == MAP_FAILED ? nullptr : page;
}

SharedPage::~SharedPage() {
  if (bytes_ != nullptr) munmap(bytes_, size_);
}

}  // namespace stats
