#include "stats/file_output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "stats/child_process.h"
#include "stats/commands.h"

namespace stats {

namespace {

// The mode the file gets: the target's own when it exists, else what the umask leaves of rw-rw-rw-.
mode_t ModeFor(const std::string& path) {
  struct stat target;
  if (stat(path.c_str(), &target) == 0) return target.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

int WriteAll(int fd, const std::string& bytes) {
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = write(fd, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return count < 0 ? errno : ENOSPC;
    written += static_cast<size_t>(count);
  }
  return 0;
}

std::string WriteWholeFile(const std::string& path, const std::string& content) {
  // A fresh name beside the target, created exclusively: never a file or link already there.
  std::string temporary = path + ".tmp.XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return "cannot write " + path + ": " + std::strerror(errno);
  int error = fchmod(fd, ModeFor(path)) == 0 ? 0 : errno;
  if (error == 0) error = WriteAll(fd, content);
  if (close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    std::remove(temporary.c_str());
    return "cannot write " + path + ": " + std::strerror(error);
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    std::remove(temporary.c_str());
    return "cannot write " + path + ": " + reason;
  }
  return "";
}

int WriteRequestedFiles(const std::vector<std::pair<std::string, std::string>>& files) {
  for (const auto& [path, content] : files) {
    if (StopSignal() != 0) return 128 + StopSignal();
    if (path.empty()) continue;
    if (const std::string problem = WriteWholeFile(path, content); !problem.empty()) {
      return Failure(problem);
    }
  }
  return 0;
}

}  // namespace stats
