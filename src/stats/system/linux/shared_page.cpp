#include "stats/system/shared_page.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace stats {

SharedPage::SharedPage(size_t bytes) : owned_(true) {
  // A memory file, so that a child started by exec can map the same page through its descriptor.
  const int file = memfd_create("absbench-stats-shared", MFD_CLOEXEC);
  if (file < 0 || ftruncate(file, static_cast<off_t>(bytes)) != 0) {
    error_ = std::strerror(errno);
    if (file >= 0) close(file);
    return;
  }
  handle_ = file;
  Map(bytes);
}

SharedPage::SharedPage(Handle handle, size_t bytes) : handle_(handle) { Map(bytes); }

void SharedPage::Map(size_t bytes) {
  void* page =
      mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, static_cast<int>(handle_), 0);
  if (page == MAP_FAILED) {
    error_ = std::strerror(errno);
  } else {
    bytes_ = page;
    size_ = bytes;
  }
}

SharedPage::~SharedPage() {
  if (bytes_ != nullptr) munmap(bytes_, size_);
  if (owned_ && handle_ != NO_HANDLE) close(static_cast<int>(handle_));
}

}  // namespace stats
