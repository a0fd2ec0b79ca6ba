// Read-write pages between two that fault: a stack for code that may run off either end of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace stats {

class GuardedPages {
 public:
  explicit GuardedPages(size_t bytes);
  GuardedPages(const GuardedPages&) = delete;
  GuardedPages& operator=(const GuardedPages&) = delete;
  ~GuardedPages();

  // Empty when the pages could not be had, with the reason in error().
  bool ok() const { return begin_ != nullptr; }
  const std::string& error() const { return error_; }
  uint8_t* end() const { return begin_ + size_; }

 private:
  uint8_t* mapping_ = nullptr;
  uint8_t* begin_ = nullptr;
  size_t size_ = 0;
  size_t mapped_ = 0;
  std::string error_;
};

}  // namespace stats
