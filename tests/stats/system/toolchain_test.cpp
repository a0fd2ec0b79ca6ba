// The tools the sweep runs, found on PATH as Linux names programs.
#include "stats/system/toolchain.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(ToolchainOnLinux, FindsProgramsInPathsFoldersSplitAtColonsAndNamesThoseMissing) {
  const char* before = std::getenv("PATH");
  const std::string kept = before != nullptr ? before : "";
  setenv("PATH", "/no/such/folder::/bin", 1);
  EXPECT_EQ(stats::ProgramFolders(), (std::vector<std::string>{"/no/such/folder", "/bin"}));
  EXPECT_EQ(stats::ProgramsMissing({"sh", "absbench-no-such-tool", "true"}),
            std::vector<std::string>{"absbench-no-such-tool"});
  setenv("PATH", kept.c_str(), 1);
  EXPECT_EQ(stats::ProgramIn("/usr/bin", "as"), "/usr/bin/as");
  EXPECT_EQ(stats::ProgramNamed("llvm-mca-19"), "llvm-mca-19");
  EXPECT_NE(stats::HowToGet(stats::Toolkit::LLVM).find("llvm-19"), std::string::npos);
}

}  // namespace
