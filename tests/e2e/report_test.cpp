// The real program, run to completion with its output in a file, as a script would run it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"

namespace {

using std::chrono::seconds;

const std::vector<std::string> REPORT_LINE_FORMS = {
    "-{22}",
    "empty procedure timing",
    "-{22}",
    "(0|[1-9][0-9]*) empty procedure",
    "Press any key to continue \\.\\.\\.",
};

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
  const std::vector<std::string> lines = CrLfLines(output);
  ASSERT_EQ(lines.size(), REPORT_LINE_FORMS.size()) << output;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(REPORT_LINE_FORMS[i])))
        << "line " << i + 1 << " is \"" << lines[i] << "\", expected the form "
        << REPORT_LINE_FORMS[i];
  }
}

TEST(ReportToAFile, MatchesTheLineFormsByteForByteAndExitsWithZero) {
  const FinishedRun run = RunToFiles(Input::DEV_NULL, seconds(400));
  ASSERT_TRUE(WIFEXITED(run.status)) << "status " << run.status;
  EXPECT_EQ(WEXITSTATUS(run.status), 0);
  EXPECT_EQ(run.errors, "");
  ExpectReport(run.output);
  EXPECT_GE(run.took, std::chrono::milliseconds(100)) << "the pauses did not happen";
}

TEST(ReportWithStandardInputClosed, FinishesInsteadOfWaitingForAKey) {
  const FinishedRun run = RunToFiles(Input::CLOSED, seconds(400));
  ASSERT_TRUE(WIFEXITED(run.status)) << "status " << run.status;
  EXPECT_EQ(WEXITSTATUS(run.status), 0);
  ExpectReport(run.output);
}

}  // namespace
