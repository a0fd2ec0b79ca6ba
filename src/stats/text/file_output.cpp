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
      // A stop that cut a wait short (a FIFO with no reader yet) ends as the stop it is.
      if (StopRequested() != StopRequest::NONE) return ExitCodeOf(StopRequested());
      return Failure(problem);
    }
  }
  return 0;
}

int CheckOutputPaths(const std::vector<NamedPath>& outputs, const std::vector<NamedPath>& inputs) {
  std::vector<std::pair<const NamedPath*, std::string>> seen;  // with the key of what each names
  for (const NamedPath& input : inputs) {
    const PathIdentity identity = input.path.empty() ? PathIdentity{} : IdentityOf(input.path);
    if (identity.regular && !identity.key.empty()) seen.push_back({&input, identity.key});
  }
  for (const NamedPath& output : outputs) {
    if (output.path.empty()) continue;
    const PathIdentity identity = IdentityOf(output.path);
    if (!identity.regular || identity.key.empty()) continue;
    for (const auto& [other, key] : seen) {
      if (key == identity.key) {
        return Failure(output.words + " " + output.path + " names the same file as " +
                           other->words + " " + other->path,
                       EXIT_USAGE);
      }
    }
    seen.push_back({&output, identity.key});
  }
  for (const NamedPath& output : outputs) {
    if (output.path.empty()) continue;
    if (const std::string problem = TryOutputPath(output.path); !problem.empty()) {
      return Failure(problem);
    }
  }
  return 0;
}

}  // namespace stats
