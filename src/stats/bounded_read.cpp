#include "stats/bounded_read.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "stats/child_process.h"

namespace stats {

BoundedRead ReadBounded(const std::string& path, size_t bound) {
  BoundedRead result;
  const Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    result.error = std::strerror(errno);
    return result;
  }
  char buffer[4096];
  while (result.bytes.size() <= bound) {
    const size_t room = bound + 1 - result.bytes.size();
    const ssize_t count = read(file.get(), buffer, std::min(room, sizeof buffer));
    if (count == 0) {
      result.outcome = BoundedRead::READ;
      return result;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      result.error = std::strerror(errno);
      result.bytes.clear();
      return result;
    }
    result.bytes.append(buffer, static_cast<size_t>(count));
  }
  result.outcome = BoundedRead::TOO_LARGE;
  result.bytes.clear();
  return result;
}

}  // namespace stats
