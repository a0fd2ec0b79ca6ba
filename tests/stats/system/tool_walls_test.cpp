// The wall around the tools: the system's programs run, their own folder is theirs, and every
// other file is out of reach, to read, write, empty or remove.
#include "stats/system/tool_walls.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string Contents(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(WalledProgram, RunsTheSystemsProgramsAndTouchesNoFileButThoseOfItsFolder) {
  if (!stats::ToolsWalledIn()) GTEST_SKIP() << "this system has no wall for the tools";
  char own[] = "/tmp/absbench-walls-XXXXXX", other[] = "/tmp/absbench-walls-XXXXXX";
  ASSERT_NE(mkdtemp(own), nullptr);
  ASSERT_NE(mkdtemp(other), nullptr);
  const std::string input = std::string(own) + "/in.s", kept = std::string(other) + "/kept";
  std::ofstream(input) << "inside\n";
  std::ofstream(kept) << "kept\n";
  // Each step says what it did; one the wall refuses says so.
  const std::string script =
      "cat \"$0/in.s\"; echo made > \"$0/out.o\" && echo wrote; rm \"$0/out.o\" && echo removed; "
      "head -c 1 /etc/passwd || echo no-read; head -c 1 \"$1/kept\" || echo no-read-beside; "
      "true > \"$1/kept\" || echo no-empty; rm -f \"$1/kept\" || echo no-remove; "
      "mkdir \"$1/made\" || echo no-folder";
  stats::ChildLimits limits;
  limits.time_limit_ms = 10000;
  const stats::ChildRun run =
      stats::RunWalledProgram({"/bin/sh", "-c", script, own, other}, limits, false, own);
  ASSERT_EQ(run.outcome, stats::ChildRun::ENDED) << run.failure;
  EXPECT_EQ(run.output,
            "inside\nwrote\nremoved\nno-read\nno-read-beside\nno-empty\nno-remove\nno-folder\n")
      << run.errors;
  EXPECT_NE(run.errors.find("Permission denied"), std::string::npos) << run.errors;
  EXPECT_EQ(Contents(kept), "kept\n") << "a file outside its folder was changed";
  unlink(input.c_str());
  unlink(kept.c_str());
  rmdir(own);
  rmdir(other);
}

TEST(WalledProgram, ThatCannotStartSaysSoAsAnyProgramDoes) {
  stats::ChildLimits limits;
  const stats::ChildRun run = stats::RunWalledProgram({"absbench-no-such-tool"}, limits, true, "");
  EXPECT_EQ(run.outcome, stats::ChildRun::FAILED);
  EXPECT_NE(run.failure.find("cannot start absbench-no-such-tool: "), std::string::npos)
      << run.failure;
}

}  // namespace
