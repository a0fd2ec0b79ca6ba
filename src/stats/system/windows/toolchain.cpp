#include "stats/system/toolchain.h"

#include <cctype>
#include <sstream>

#include "stats/system/files.h"

namespace stats {

std::vector<std::string> ProgramFolders() {
  std::vector<std::string> folders;
  std::istringstream path(EnvironmentValue("PATH"));
  for (std::string folder; std::getline(path, folder, ';');) {
    // A folder may be quoted on PATH, as one with a ';' in its name must be.
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
      folder = folder.substr(1, folder.size() - 2);
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    if (!folder.empty()) folders.push_back(folder);
  }
  return folders;
}

std::string ProgramIn(const std::string& folder, const std::string& name) {
  return folder + "\\" + name + ".exe";
}

std::string ProgramNamed(const std::string& file) {
  if (file.size() <= 4) return "";
  std::string extension = file.substr(file.size() - 4);
  for (char& letter : extension) letter = static_cast<char>(std::tolower(letter));
  return extension == ".exe" ? file.substr(0, file.size() - 4) : "";
}

std::string HowToGet(Toolkit kit) {
  return kit == Toolkit::BINUTILS
             ? "a mingw-w64 toolchain's binutils bring them, e.g. MSYS2's package "
               "mingw-w64-x86_64-binutils (pacman -S mingw-w64-x86_64-binutils, then "
               "C:\\msys64\\mingw64\\bin on PATH)"
             : "MSYS2's package mingw-w64-x86_64-llvm brings both (pacman -S "
               "mingw-w64-x86_64-llvm, then C:\\msys64\\mingw64\\bin on PATH), as does LLVM's "
               "release archive for Windows (clang+llvm-VERSION-x86_64-pc-windows-msvc)";
}

}  // namespace stats
