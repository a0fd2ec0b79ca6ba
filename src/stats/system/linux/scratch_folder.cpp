#include "stats/system/scratch_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "stats/system/files.h"
#include "stats/system/linux/descriptors.h"

namespace stats {

ScratchFolder::ScratchFolder(std::vector<std::string> files) : files_(std::move(files)) {
  const char* base = std::getenv("TMPDIR");
  parent_ = base != nullptr && *base != '\0' ? base : "/tmp";
  std::string path = parent_ + "/absbench-stats-XXXXXX";
  if (mkdtemp(path.data()) != nullptr) {
    path_ = path;
  } else {
    error_ = std::strerror(errno);
  }
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;  // nothing was made, so nothing is removed
  for (const std::string& file : files_) unlink((path_ + "/" + file).c_str());
  rmdir(path_.c_str());
}

std::string ScratchFolder::Problem(const std::string& purpose) const {
  return "cannot make a folder for " + purpose + " in " + parent_ + ": " + error_;
}

std::string WriteNewFile(const std::string& path, const std::string& text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return std::strerror(errno);
  int error = WriteAll(fd, text);
  if (close(fd) != 0 && error == 0) error = errno;
  return error != 0 ? std::strerror(error) : "";
}

}  // namespace stats
