// Descriptors as the Linux side of the system layer keeps them.
#pragma once

#include <string>

namespace stats {

// Closes the descriptor when the scope ends.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { reset(); }
  int get() const { return fd_; }
  void reset(int fd = -1);

 private:
  int fd_;
};

// Writes every byte of `bytes` to `fd`, again after EINTR and partial writes: 0, or the errno of
// the write that failed (ENOSPC for one that wrote nothing).
int WriteAll(int fd, const std::string& bytes);

}  // namespace stats
