#include "stats/sweep/prediction/model_tools.h"

#include <cstdlib>

#include "stats/system/files.h"
#include "stats/system/toolchain.h"

namespace stats {

namespace {

// The newest "NAME-NN" on PATH, else "NAME" if it is there; empty when neither is.
std::string NewestOnPath(const std::string& name) {
  std::string best, plain;
  int best_version = -1;
  for (const std::string& folder : ProgramFolders()) {
    if (plain.empty() && IsExecutable(ProgramIn(folder, name))) plain = ProgramIn(folder, name);
    for (const std::string& file : FolderEntries(folder)) {
      const std::string program = ProgramNamed(file);
      if (program.rfind(name + "-", 0) != 0) continue;
      const std::string version = program.substr(name.size() + 1);
      if (version.empty() || version.find_first_not_of("0123456789") != std::string::npos ||
          version.size() > 4 || !IsExecutable(ProgramIn(folder, program))) {
        continue;
      }
      if (std::atoi(version.c_str()) > best_version) {
        best_version = std::atoi(version.c_str());
        best = ProgramIn(folder, program);
      }
    }
  }
  return best.empty() ? plain : best;
}

}  // namespace

ModelTools FindModelTools(const std::string& given, std::string& problem) {
  ModelTools tools;
  if (!given.empty()) {
    if (!IsExecutable(given)) {
      problem = "--mca " + given + " is not a program this can run";
      return {};
    }
    tools.mca = given;
    const size_t slash = given.find_last_of("/\\");
    std::string beside = given;
    const size_t mca = beside.find("mca", slash == std::string::npos ? 0 : slash);
    if (mca != std::string::npos) beside.erase(mca + 2, 1);
    tools.mc = mca != std::string::npos && IsExecutable(beside) ? beside : NewestOnPath("llvm-mc");
  } else {
    tools.mca = NewestOnPath("llvm-mca");
    const size_t dash = tools.mca.rfind("llvm-mca-");
    const std::string same_version =
        dash == std::string::npos
            ? ""
            : tools.mca.substr(0, dash) + "llvm-mc-" + tools.mca.substr(dash + 9);
    tools.mc = !same_version.empty() && IsExecutable(same_version) ? same_version
                                                                   : NewestOnPath("llvm-mc");
  }
  if (tools.mca.empty() || tools.mc.empty()) {
    problem = std::string("--predict needs ") + (tools.mca.empty() ? "llvm-mca" : "llvm-mc") +
              ", and none is on PATH: " + HowToGet(Toolkit::LLVM) + ", or give --mca PATH";
    return {};
  }
  return tools;
}

}  // namespace stats
