// The CSV and the chart are written whole, or not at all and with the reason.
#include "stats/system/files.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* listing = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(listing)) {
      if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    }
    closedir(listing);
  }
  return names;
}

TEST(WriteWholeFile, WritesTheContentAndLeavesNoTemporaryFile) {
  char folder[] = "/tmp/absbench-write-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string path = std::string(folder) + "/chart.svg";
  EXPECT_EQ(stats::WriteWholeFile(path, "<svg/>\n"), "");
  std::ostringstream content;
  content << std::ifstream(path).rdbuf();
  EXPECT_EQ(content.str(), "<svg/>\n");
  EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"chart.svg"});
  unlink(path.c_str());
  rmdir(folder);
}

TEST(WriteWholeFile, FailsWithThePathAndTheReasonAndLeavesNoTemporaryFile) {
  char folder[] = "/tmp/absbench-write-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string missing = std::string(folder) + "/no-such-folder/runs.csv";
  EXPECT_EQ(stats::WriteWholeFile(missing, "x"),
            "cannot write " + missing + ": " + std::strerror(ENOENT));

  // The temporary file can be written here, but not renamed onto a folder.
  const std::string taken = std::string(folder) + "/taken";
  ASSERT_EQ(mkdir(taken.c_str(), 0755), 0);
  const std::string problem = stats::WriteWholeFile(taken, "x");
  EXPECT_EQ(problem.rfind("cannot write " + taken + ": ", 0), 0u) << problem;
  EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"taken"});
  rmdir(taken.c_str());
  rmdir(folder);
}

TEST(WriteWholeFile, NeverWritesThroughALinkWhereItsTemporaryFileUsedToBeAndKeepsTheMode) {
  char folder[] = "/tmp/absbench-write-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string path = std::string(folder) + "/runs.csv";
  const std::string victim = std::string(folder) + "/victim";
  std::ofstream(victim) << "keep";
  // The name a temporary file once had, planted as a link by someone sharing the folder.
  const std::string planted = path + ".tmp." + std::to_string(getpid());
  ASSERT_EQ(symlink(victim.c_str(), planted.c_str()), 0);
  std::ofstream(path) << "old";
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  EXPECT_EQ(stats::WriteWholeFile(path, "new"), "");
  std::ostringstream kept, written;
  kept << std::ifstream(victim).rdbuf();
  written << std::ifstream(path).rdbuf();
  EXPECT_EQ(kept.str(), "keep") << "it wrote through the planted link";
  EXPECT_EQ(written.str(), "new");
  struct stat facts;
  ASSERT_EQ(stat(path.c_str(), &facts), 0);
  EXPECT_EQ(facts.st_mode & 07777, 0640u) << "the target's mode";
  for (const std::string& name : FilesIn(folder))
    unlink((std::string(folder) + "/" + name).c_str());
  rmdir(folder);
}

}  // namespace

namespace {

// What WriteWholeFile("/dev/stdout") returns and leaves, with standard output on `fd` meanwhile.
std::string WrittenToStdoutOn(int fd, const std::string& content) {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  dup2(fd, STDOUT_FILENO);
  const std::string problem = stats::WriteWholeFile("/dev/stdout", content);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  return problem;
}

}  // namespace

// `--csv /dev/stdout`: a pipe is written (its link names no path), and a file our output goes to
// gets the bytes after that output rather than being replaced.
TEST(WriteWholeFile, WritesThroughStandardOutputOnAPipeOrAfterWhatAFileThereHolds) {
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  EXPECT_EQ(WrittenToStdoutOn(pipe_ends[1], "a,b\n"), "");
  close(pipe_ends[1]);
  char got[16] = {};
  EXPECT_EQ(read(pipe_ends[0], got, sizeof got - 1), 4);
  EXPECT_STREQ(got, "a,b\n");
  close(pipe_ends[0]);

  char path[] = "/tmp/absbench-stdout-XXXXXX";
  const int file = mkstemp(path);
  ASSERT_GE(file, 0);
  ASSERT_EQ(write(file, "report\n", 7), 7);
  EXPECT_EQ(WrittenToStdoutOn(file, "a,b\n"), "");
  close(file);
  std::ifstream written(path);
  std::stringstream whole;
  whole << written.rdbuf();
  EXPECT_EQ(whole.str(), "report\na,b\n");
  std::remove(path);
}
