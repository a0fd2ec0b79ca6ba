#include "stats/system/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "stats/system/linux/descriptors.h"
#include "stats/system/processes.h"

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

// The file `path` names through any links (even one that names a file not there yet), or `path`.
std::string LinkTarget(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    if (length <= 0) return path;
    const std::string named(target, static_cast<size_t>(length));
    const size_t slash = path.rfind('/');
    path =
        named[0] == '/' || slash == std::string::npos ? named : path.substr(0, slash + 1) + named;
  }
  return path;
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

std::string WriteWholeFile(const std::string& given, const std::string& content) {
  struct stat existing;
  if (stat(given.c_str(), &existing) == 0) {
    // Our own output or errors (/dev/stdout), as a file too: written after what is there already,
    // not renamed over it.
    for (const int stream : {STDOUT_FILENO, STDERR_FILENO}) {
      struct stat open_stream;
      if (fstat(stream, &open_stream) == 0 && open_stream.st_dev == existing.st_dev &&
          open_stream.st_ino == existing.st_ino) {
        std::fflush(stream == STDOUT_FILENO ? stdout : stderr);  // what is buffered goes first
        const int error = WriteAll(stream, content);
        return error == 0 ? "" : "cannot write " + given + ": " + std::strerror(error);
      }
    }
    // A device or FIFO (/dev/null as a sink) takes the bytes; renaming over it would replace it.
    // Opened by the name given, which may be a link no path names (a pipe's, under /proc).
    if (!S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode)) {
      const Descriptor file(open(given.c_str(), O_WRONLY | O_CLOEXEC));
      const int error = file.get() < 0 ? errno : WriteAll(file.get(), content);
      return error == 0 ? "" : "cannot write " + given + ": " + std::strerror(error);
    }
  }
  // A link is written through, to the file it names, never replaced by a file of its own.
  const std::string path = LinkTarget(given);
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

long long FileSize(const std::string& path, std::string& problem) {
  struct stat facts;
  if (stat(path.c_str(), &facts) == 0) return static_cast<long long>(facts.st_size);
  problem = std::strerror(errno);
  return -1;
}

bool IsExecutable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return names;
  while (const dirent* entry = readdir(listing)) names.emplace_back(entry->d_name);
  closedir(listing);
  return names;
}

std::string ProgramBesideThisOne(const std::string& name) {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return name;
  const std::string self(path, static_cast<size_t>(length));
  return self.substr(0, self.rfind('/') + 1) + name;
}

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace stats
