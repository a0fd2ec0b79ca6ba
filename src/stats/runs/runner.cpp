#include "stats/runs/runner.h"

#include <utility>

#include "stats/system/files.h"
#include "stats/system/processes.h"
#include "stats/text/format.h"
#include "stats/text/progress.h"

namespace stats {

namespace {

// The last line of a text that is not empty, without its line end.
std::string LastLine(const std::string& text) {
  const size_t end = text.find_last_not_of("\r\n");
  if (end == std::string::npos) return "";
  const size_t line_feed = text.rfind('\n', end);
  const size_t start = line_feed == std::string::npos ? 0 : line_feed + 1;
  return text.substr(start, end + 1 - start);
}

// The report parsed, or the problem with the source, the line and what was found.
std::string Parse(const std::string& bytes, const std::string& source, RunSet& runs) {
  const auto parsed = ParseReport(bytes);
  if (const auto* error = std::get_if<ParseError>(&parsed)) {
    return source + ": line " + std::to_string(error->line) + ": " + error->problem +
           (error->text.empty() ? "" : "; found " + Quoted(error->text));
  }
  runs.reports.push_back(std::get<Report>(parsed));
  return "";
}

// The whole file into `bytes` when it is no larger than REPORT_BOUND; otherwise why not, in the
// system's words or the bound's.
std::string ReadSavedReport(const std::string& path, std::string& bytes) {
  BoundedRead read = ReadBounded(path, REPORT_BOUND);
  if (read.outcome == BoundedRead::FAILED) return "cannot read " + path + ": " + read.error;
  if (read.outcome == BoundedRead::TOO_LARGE) {
    return path + ": not a report: it holds more than 64 KiB, and a report is under 1 KiB";
  }
  bytes = std::move(read.bytes);
  return "";
}

}  // namespace

CapturedRun CaptureOneRun(const std::string& benchmark, const std::function<void()>& waiting) {
  ChildLimits limits;
  limits.stops_with_us = true;
  limits.waiting = waiting;
  limits.output_limit = REPORT_BOUND;
  const ChildRun child = RunProgram({benchmark}, limits, false);
  CapturedRun run;
  run.output = child.output;
  run.errors = child.errors;
  if (child.outcome == ChildRun::STOPPED || StopRequested() != StopRequest::NONE) {
    run.outcome = CapturedRun::STOPPED;
  } else if (child.outcome == ChildRun::OVERFLOWED) {
    run.failure =
        "not a report: the benchmark wrote more than 64 KiB (a report is under 1 KiB), "
        "so it was stopped there";
  } else if (child.outcome != ChildRun::ENDED) {
    run.failure = child.failure;
  } else if (Succeeded(child)) {
    run.outcome = CapturedRun::COMPLETED;
  } else {
    run.failure = "the benchmark " + child.ending.words;
    const std::string said = LastLine(run.errors);
    // Long enough for the benchmark's own diagnostics, which name the system's reason last.
    if (!said.empty()) run.failure += "; it said: " + Quoted(said, '"', 100);
  }
  return run;
}

CollectedRuns CollectRuns(const std::string& benchmark, int count) {
  CollectedRuns collected;
  collected.runs.origin =
      std::to_string(count) + (count == 1 ? " run of " : " runs of ") + benchmark;
  InstallStopHandlers();
  ProgressLine progress("run");
  for (int run = 1; run <= count; ++run) {
    const size_t done = static_cast<size_t>(run - 1), total = static_cast<size_t>(count);
    progress.Show(done, total);
    const CapturedRun captured = CaptureOneRun(benchmark, [&] { progress.Show(done, total); });
    if (captured.outcome == CapturedRun::STOPPED) {
      collected.exit_code = ExitCodeOf(StopRequested());
      return collected;
    }
    const std::string which = "run " + std::to_string(run);
    if (captured.outcome == CapturedRun::FAILED) {
      collected.exit_code = 1;
      collected.problem = which + " of " + std::to_string(count) + ": " + captured.failure;
      return collected;
    }
    collected.problem = Parse(captured.output, which, collected.runs);
    if (!collected.problem.empty()) {
      collected.exit_code = 1;
      return collected;
    }
  }
  return collected;
}

CollectedRuns ReadSavedReports(const std::vector<std::string>& paths) {
  CollectedRuns collected;
  collected.runs.from_saved_reports = true;
  collected.runs.origin =
      std::to_string(paths.size()) + (paths.size() == 1 ? " saved report" : " saved reports");
  for (const std::string& path : paths) {
    std::string bytes;
    const std::string unread = ReadSavedReport(path, bytes);
    if (!unread.empty()) {
      collected.exit_code = 1;
      collected.problem = unread;
      return collected;
    }
    collected.problem = Parse(bytes, path, collected.runs);
    if (!collected.problem.empty()) {
      collected.exit_code = 1;
      return collected;
    }
  }
  return collected;
}

std::string BenchmarkBesideThisProgram() { return ProgramBesideThisOne("absbench"); }

}  // namespace stats
