// The real program run to completion as a script runs it: output to a file or a pipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "kernels/kernel_list.h"
#include "tests/e2e/child_process.h"

namespace {

using std::chrono::seconds;

const char NET_MS[] = "(0|-?[1-9][0-9]*) ";
// Each label without its leading space and its CR LF.
#define KERNEL_WORDS_ROW(name, label, result) std::string(label).substr(1, sizeof label - 4),
const std::string KERNEL_WORDS[] = {KERNEL_LIST(KERNEL_WORDS_ROW)};

std::vector<std::string> ReportLineForms() {
  std::vector<std::string> forms = {"-{22}", "empty procedure timing", "-{22}",
                                    "(0|[1-9][0-9]*) empty procedure"};
  for (const char* pass : {"positive pass", "negative pass"}) {
    forms.insert(forms.end(), {"-{13}", pass, "-{13}"});
    for (const std::string& words : KERNEL_WORDS) forms.push_back(NET_MS + words);
  }
  forms.push_back("Press any key to continue \\.\\.\\.");
  return forms;
}

// Splits on CR LF; a lone CR or LF anywhere fails the test.
std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "the output does not end with CR LF";
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "a bare line end in: " << line;
  }
  return lines;
}

void ExpectReport(const std::string& output) {
  const std::vector<std::string> forms = ReportLineForms();
  const std::vector<std::string> lines = CrLfLines(output);
  ASSERT_EQ(lines.size(), forms.size()) << output;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(forms[i])))
        << "line " << i + 1 << " is \"" << lines[i] << "\", expected the form " << forms[i];
  }
}

void ExpectCompleteRun(const FinishedRun& run) {
  ASSERT_TRUE(WIFEXITED(run.status)) << "status " << run.status;
  EXPECT_EQ(WEXITSTATUS(run.status), 0);
  EXPECT_EQ(run.errors, "");
  ExpectReport(run.output);
  EXPECT_GE(run.took, std::chrono::milliseconds(2500)) << "the 25 pauses did not all happen";
}

#ifdef SHIPPED_BENCHMARK_PATH
// The one whole run of the shipped program: 26 loops of 1e9 calls on the real timing path.
TEST(ShippedProgramReportToAFile, MatchesTheLineFormsByteForByteAfterAllItsPauses) {
  ExpectCompleteRun(RunCommand({SHIPPED_BENCHMARK_PATH}, Input::DEV_NULL, seconds(600)));
}
#endif

TEST(ReportToAFile, MatchesTheLineFormsByteForByteAfterAllItsPauses) {
  ExpectCompleteRun(RunCommand(QuickBenchmark(), Input::DEV_NULL, seconds(120)));
}

TEST(ReportWithStandardInputClosed, FinishesInsteadOfWaitingForAKey) {
  ExpectCompleteRun(RunCommand(QuickBenchmark(), Input::CLOSED, seconds(120)));
}

TEST(ReportToAFullDevice, RunsToTheEndThenSaysWhyOnStandardErrorAndExitsWithOne) {
  const FinishedRun run = RunCommand(QuickBenchmark(), Input::DEV_NULL, seconds(120), "/dev/full");
  ASSERT_TRUE(WIFEXITED(run.status)) << "status " << run.status;
  EXPECT_EQ(WEXITSTATUS(run.status), 1);
  EXPECT_EQ(run.errors, "absbench: the report could not be written: No space left on device\n");
  EXPECT_GE(run.took, std::chrono::milliseconds(2500)) << "the run did not go on to its end";
}

TEST(ReportIntoAPipe, StillExitsWithZeroWhenTheReaderClosesAfterTheFirstLine) {
  int output[2];
  ASSERT_EQ(pipe(output), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    dup2(output[1], STDOUT_FILENO);
    close(output[0]);
    close(output[1]);
    Exec(QuickBenchmark());
  }
  close(output[1]);
  std::string first_line;
  char byte;
  while (first_line.find('\n') == std::string::npos && read(output[0], &byte, 1) == 1) {
    first_line += byte;
  }
  close(output[0]);
  EXPECT_EQ(first_line, "----------------------\r\n");
  const int status = WaitOrKill(pid, seconds(120));
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
