// Outputs and inputs on Windows: written whole with LF as LF, NUL as a sink, one file told apart
// from another whatever the spelling of its path, and reads held to their bound.
#include "stats/system/files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct Folder {
  fs::path path =
      fs::temp_directory_path() / ("absbench-files-" + std::to_string(std::random_device()()));
  Folder() { fs::create_directories(path); }
  ~Folder() { fs::remove_all(path); }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  size_t Entries() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(path), {}));
  }
};

std::string BytesOf(const std::string& path) {
  std::ostringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

TEST(WriteWholeFileOnWindows, WritesLfAsLfReplacesAnOldFileAndLeavesNoTemporaryFile) {
  const Folder folder;
  const std::string path = folder / "runs.csv";
  std::ofstream(path) << "old, longer than the new content";
  EXPECT_EQ(stats::WriteWholeFile(path, "a,b\n1,2\n"), "");
  EXPECT_EQ(BytesOf(path), "a,b\n1,2\n");
  EXPECT_EQ(folder.Entries(), 1u);
}

TEST(WriteWholeFileOnWindows, FailsWithThePathAndTheSystemsReasonAndLeavesNothing) {
  const Folder folder;
  const std::string missing = folder / "no-such-folder/runs.csv";
  const std::string problem = stats::WriteWholeFile(missing, "x");
  EXPECT_EQ(problem.rfind("cannot write " + missing + ": ", 0), 0u) << problem;
  EXPECT_GT(problem.size(), ("cannot write " + missing + ": ").size()) << "no reason given";
  fs::create_directory(folder / "taken");
  EXPECT_NE(stats::WriteWholeFile(folder / "taken", "x"), "");
  EXPECT_NE(stats::TryOutputPath(folder / "taken"), "");
  EXPECT_EQ(folder.Entries(), 1u) << "a temporary file was left";
}

TEST(WriteWholeFileOnWindows, WritesIntoNulWhichIsNoRegularFileAndAlwaysWritable) {
  EXPECT_EQ(stats::WriteWholeFile("NUL", "anything\n"), "");
  EXPECT_EQ(stats::TryOutputPath("NUL"), "");
  EXPECT_FALSE(stats::IdentityOf("NUL").regular);
}

TEST(IdentityOfOnWindows, GivesOneFileOneKeyWhateverTheCaseAndSlashesOfItsPath) {
  const Folder folder;
  std::ofstream(folder / "Report.txt") << "x";
  const stats::PathIdentity first = stats::IdentityOf(folder / "Report.txt");
  const stats::PathIdentity second =
      stats::IdentityOf(folder.path.generic_string() + "/REPORT.TXT");
  EXPECT_TRUE(first.exists && first.regular);
  EXPECT_FALSE(first.key.empty());
  EXPECT_EQ(first.key, second.key);
  EXPECT_NE(first.key, stats::IdentityOf(folder / "other.txt").key);
  // Not there yet: still one key for its two spellings.
  EXPECT_EQ(stats::IdentityOf(folder / "new.csv").key,
            stats::IdentityOf(folder.path.generic_string() + "/NEW.CSV").key);
  EXPECT_EQ(stats::TryOutputPath(folder / "new.csv"), "");
  EXPECT_EQ(folder.Entries(), 1u) << "the output was tried by writing it";
}

TEST(ReadBoundedOnWindows, ReadsAFileUpToItsBoundAndNoFileBeyondIt) {
  const Folder folder;
  std::ofstream(folder / "report.txt", std::ios::binary) << "line\r\n";
  const stats::BoundedRead whole = stats::ReadBounded(folder / "report.txt", 6);
  EXPECT_EQ(whole.outcome, stats::BoundedRead::READ);
  EXPECT_EQ(whole.bytes, "line\r\n");
  EXPECT_EQ(stats::ReadBounded(folder / "report.txt", 5).outcome, stats::BoundedRead::TOO_LARGE);
  const stats::BoundedRead missing = stats::ReadBounded(folder / "missing.txt", 5);
  EXPECT_EQ(missing.outcome, stats::BoundedRead::FAILED);
  EXPECT_FALSE(missing.error.empty());
}

TEST(FilesOnWindows, SaySizesListFoldersAndReadTheEnvironmentInUtf8) {
  const Folder folder;
  std::ofstream(folder / "kernel.o", std::ios::binary) << std::string(1234, 'x');
  std::string problem;
  EXPECT_EQ(stats::FileSize(folder / "kernel.o", problem), 1234);
  EXPECT_EQ(stats::FileSize(folder / "missing.o", problem), -1);
  EXPECT_FALSE(problem.empty());
  std::vector<std::string> names = stats::FolderEntries(folder.path.string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "kernel.o"}));
  EXPECT_TRUE(stats::FolderEntries(folder / "missing").empty());
  SetEnvironmentVariableW(L"ABSBENCH_TEST_VALUE", L"\u00e9t\u00e9");
  EXPECT_EQ(stats::EnvironmentValue("ABSBENCH_TEST_VALUE"), "\xC3\xA9t\xC3\xA9");
  SetEnvironmentVariableW(L"ABSBENCH_TEST_VALUE", nullptr);
  EXPECT_EQ(stats::EnvironmentValue("ABSBENCH_TEST_VALUE"), "");
}

}  // namespace
