// A page of memory shared with the child processes forked after it is made: what one stores there,
// the others see at once, without a system call per store.
#pragma once

#include <cstddef>

namespace stats {

class SharedPage {
 public:
  explicit SharedPage(size_t bytes);
  SharedPage(const SharedPage&) = delete;
  SharedPage& operator=(const SharedPage&) = delete;
  ~SharedPage();
  // Null when the system refused it, with the reason in error().
  void* bytes() const { return bytes_; }
  const char* error() const { return error_; }

 private:
  void* bytes_ = nullptr;
  size_t size_ = 0;
  const char* error_ = "";
};

}  // namespace stats
