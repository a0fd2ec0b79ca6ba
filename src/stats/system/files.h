// Files and folders as the companion uses them: written whole or not at all, read up to a bound,
// and looked up on PATH.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace stats {

// Writes `content` to a temporary file beside `path` and renames it into place, so that a reader
// never sees half a file and a failure leaves no temporary file; a device or FIFO already at
// `path` is written in place, never replaced. Empty, or why it failed.
std::string WriteWholeFile(const std::string& path, const std::string& content);

// What a path names, so that two paths can be told to name the same file.
struct PathIdentity {
  bool exists = false;
  bool regular = true;  // false for a device, a FIFO or a folder
  std::string key;      // the same for two paths to one file; empty when it cannot be had
};
PathIdentity IdentityOf(const std::string& path);

// Whether an output can be written at `path`, tried without writing it: a temporary file made
// beside it and removed at once; a folder refused; a device or FIFO only checked for permission,
// since opening a FIFO waits for its reader. Empty, or "cannot write PATH: reason".
std::string TryOutputPath(const std::string& path);

// A file read whole only when it is small enough to be what the caller expects.
struct BoundedRead {
  enum Outcome { READ, TOO_LARGE, FAILED } outcome = FAILED;
  std::string bytes;
  std::string error;  // for FAILED: the system's words
};

// The whole file when it holds at most `bound` bytes, having read one byte past the bound at most,
// so that /dev/zero or a huge file costs no more than the bound.
BoundedRead ReadBounded(const std::string& path, size_t bound);

// The file's size in bytes; -1, with the system's reason in `problem`, when it cannot be had.
long long FileSize(const std::string& path, std::string& problem);

bool IsExecutable(const std::string& path);

// The names in a folder; none when it cannot be listed.
std::vector<std::string> FolderEntries(const std::string& folder);

// The program `name` in this program's own folder, named as the system names programs
// ("/usr/bin/absbench", "C:\Tools\absbench.exe"); `name` alone when the system cannot say
// where this program is.
std::string ProgramBesideThisOne(const std::string& name);

// The value of an environment variable, or empty.
std::string EnvironmentValue(const char* name);

}  // namespace stats
