// The CSV and the chart are written whole or not at all.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace stats {

// Writes every byte of `bytes` to `fd`, again after EINTR and partial writes: 0, or the errno of
// the write that failed (ENOSPC for one that wrote nothing).
int WriteAll(int fd, const std::string& bytes);

// Writes `content` to a temporary file beside `path` and renames it into place, so that a reader
// never sees half a file and a failure leaves no temporary file. Empty, or why it failed.
std::string WriteWholeFile(const std::string& path, const std::string& content);

// Writes each file whose path is not empty, in order, as a command's last step: 0; 1 after the
// first that fails, said on standard error; 128 + the signal when a stop came first.
int WriteRequestedFiles(const std::vector<std::pair<std::string, std::string>>& files);

}  // namespace stats
