#include "stats/system/toolchain.h"

#include "stats/system/files.h"

namespace stats {

std::vector<std::string> ProgramsMissing(const std::vector<std::string>& names) {
  std::vector<std::string> missing;
  const std::vector<std::string> folders = ProgramFolders();
  for (const std::string& name : names) {
    bool found = false;
    for (const std::string& folder : folders)
      found = found || IsExecutable(ProgramIn(folder, name));
    if (!found) missing.push_back(name);
  }
  return missing;
}

}  // namespace stats
