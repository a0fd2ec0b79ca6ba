#include "stats/file_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "stats/child_process.h"
#include "stats/commands.h"

namespace stats {

std::string WriteWholeFile(const std::string& path, const std::string& content) {
  const std::string temporary = path + ".tmp." + std::to_string(getpid());
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << content;
    file.close();
    if (!file) {
      const std::string reason = std::strerror(errno);
      std::remove(temporary.c_str());
      return "cannot write " + path + ": " + reason;
    }
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
