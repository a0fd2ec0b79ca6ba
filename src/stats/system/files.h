// Files and folders as the companion uses them: written whole or not at all, read up to a bound,
// and looked up on PATH.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace stats {

// Writes `content` to a temporary file beside `path` and renames it into place, so that a reader
// never sees half a file and a failure leaves no temporary file. Empty, or why it failed.
std::string WriteWholeFile(const std::string& path, const std::string& content);

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

// The path of this program's own file, or empty when the system cannot say.
std::string ThisProgramPath();

// The value of an environment variable, or empty.
std::string EnvironmentValue(const char* name);

}  // namespace stats
