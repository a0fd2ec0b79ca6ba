// Memory a child shares with this process: what it writes there, this process reads as it runs.
#pragma once

#include <cstddef>

namespace stats {

class SharedPage {
 public:
  explicit SharedPage(size_t bytes);
  SharedPage(const SharedPage&) = delete;
  SharedPage& operator=(const SharedPage&) = delete;
  ~SharedPage();
  // Null when the system refused the mapping; errno says why.
  void* get() const { return bytes_; }

 private:
  void* bytes_ = nullptr;
  size_t size_ = 0;
};

}  // namespace stats
