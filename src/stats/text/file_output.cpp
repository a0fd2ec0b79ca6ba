#include "stats/text/file_output.h"

#include "stats/system/files.h"
#include "stats/system/processes.h"
#include "stats/text/failure.h"

namespace stats {

int WriteRequestedFiles(const std::vector<std::pair<std::string, std::string>>& files) {
  for (const auto& [path, content] : files) {
    if (StopRequested() != StopRequest::NONE) return ExitCodeOf(StopRequested());
    if (path.empty()) continue;
    if (const std::string problem = WriteWholeFile(path, content); !problem.empty()) {
      return Failure(problem);
    }
  }
  return 0;
}

}  // namespace stats
