// The CSV and the chart are written whole or not at all.
#pragma once

#include <string>

namespace stats {

// Writes `content` to a temporary file beside `path` and renames it into place, so that a reader
// never sees half a file and a failure leaves no temporary file. Empty, or why it failed.
std::string WriteWholeFile(const std::string& path, const std::string& content);

}  // namespace stats
