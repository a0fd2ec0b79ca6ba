#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "stats/system/files.h"

namespace stats {

namespace {

std::string CannotWrite(const std::string& path, int error) {
  return "cannot write " + path + ": " + std::strerror(error);
}

}  // namespace

PathIdentity IdentityOf(const std::string& path) {
  PathIdentity identity;
  struct stat file;
  if (stat(path.c_str(), &file) == 0) {
    identity.exists = true;
    identity.regular = S_ISREG(file.st_mode);
    identity.key = std::to_string(file.st_dev) + ":" + std::to_string(file.st_ino);
    return identity;
  }
  // Not there yet: its folder's canonical path and its own name.
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  char canonical[PATH_MAX];
  if (realpath(folder.c_str(), canonical) != nullptr) {
    identity.key = std::string(canonical) + "/" + path.substr(slash + 1);
  }
  return identity;
}

std::string TryOutputPath(const std::string& path) {
  struct stat file;
  if (stat(path.c_str(), &file) == 0 && !S_ISREG(file.st_mode)) {
    if (S_ISDIR(file.st_mode)) return CannotWrite(path, EISDIR);
    return access(path.c_str(), W_OK) == 0 ? "" : CannotWrite(path, errno);
  }
  std::string temporary = path + ".tmp.XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return CannotWrite(path, errno);
  close(fd);
  unlink(temporary.c_str());
  return "";
}

}  // namespace stats
