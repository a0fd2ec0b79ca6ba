// A file read whole only when it is small enough to be what the caller expects.
#pragma once

#include <cstddef>
#include <string>

namespace stats {

struct BoundedRead {
  enum Outcome { READ, TOO_LARGE, FAILED } outcome = FAILED;
  std::string bytes;
  std::string error;  // for FAILED: the system's words
};

// The whole file when it holds at most `bound` bytes, having read one byte past the bound at most,
// so that /dev/zero or a huge file costs no more than the bound.
BoundedRead ReadBounded(const std::string& path, size_t bound);

}  // namespace stats
