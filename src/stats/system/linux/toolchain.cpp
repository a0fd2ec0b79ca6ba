#include "stats/system/toolchain.h"

#include <sstream>

#include "stats/system/files.h"

namespace stats {

std::vector<std::string> ProgramFolders() {
  std::vector<std::string> folders;
  std::istringstream path(EnvironmentValue("PATH"));
  for (std::string folder; std::getline(path, folder, ':');) {
    if (!folder.empty()) folders.push_back(folder);
  }
  return folders;
}

std::string ProgramIn(const std::string& folder, const std::string& name) {
  return folder + "/" + name;
}

std::string ProgramNamed(const std::string& file) { return file; }

std::string HowToGet(Toolkit kit) {
  return kit == Toolkit::BINUTILS
             ? "GNU binutils brings them (Debian's package binutils)"
             : "Debian's package llvm-19 brings both (apt-get install llvm-19)";
}

}  // namespace stats
