// A page of memory shared with child processes: what one stores there, the others see at once,
// without a system call per store. The parent makes it; a child opens it by its handle, which it
// is given when it starts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace stats {

class SharedPage {
 public:
  // How a child names the page it was given.
  using Handle = intptr_t;
  static constexpr Handle NO_HANDLE = -1;

  // A new page of `bytes`.
  explicit SharedPage(size_t bytes);
  // The page a parent made, opened in the child by its handle.
  SharedPage(Handle handle, size_t bytes);
  SharedPage(const SharedPage&) = delete;
  SharedPage& operator=(const SharedPage&) = delete;
  ~SharedPage();
  // Null when the system refused it, with the reason in error().
  void* bytes() const { return bytes_; }
  const char* error() const { return error_; }
  Handle handle() const { return handle_; }

 private:
  void Map(size_t bytes);

  void* bytes_ = nullptr;
  size_t size_ = 0;
  Handle handle_ = NO_HANDLE;
  bool owned_ = false;
  const char* error_ = "";
};

}  // namespace stats
