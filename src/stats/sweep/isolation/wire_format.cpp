#include "stats/sweep/isolation/wire_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "stats/sweep/estimate/figure_precision.h"
#include "stats/sweep/estimate/grid.h"
#include "stats/sweep/placed/blocks.h"

namespace stats {

namespace {

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// The words of a line, split at single spaces.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; std::getline(in, word, ' ');) words.push_back(word);
  return words;
}

bool Whole(const std::string& word, uint64_t most, uint64_t& value) {
  if (word.empty() || word.size() > 19 || word.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = std::strtoull(word.c_str(), nullptr, 10);
  return value <= most;
}

// A figure as the process printed it: a finite number.
bool Figure(const std::string& word, double& value) {
  char* end = nullptr;
  value = std::strtod(word.c_str(), &end);
  return !word.empty() && *end == '\0' && std::isfinite(value);
}

// Reads one measure's lines from `lines`, starting after its "measure" line `head`.
std::string ReadMeasure(const std::vector<std::string>& head, std::istringstream& lines,
                        size_t& line_number, const ReportExpected& expected, ReportReadBack& read) {
  const size_t index = read.measures.size();
  if (index >= expected.measures.size()) return "more measures than were asked for";
  MeasureResult measure;
  const MeasureKernels& timed = expected.measures[index];
  measure.measure = timed.measure;
  if (head.size() < 11 || head[1] != MeasureName(measure.measure))
    return "expected the measure " + std::string(MeasureName(measure.measure));
  uint64_t chunk, copies, pairs, rounds, end, shared, waited, all_shared;
  if (!Whole(head[2], UINT32_MAX, chunk) || chunk == 0 || !Whole(head[3], UINT32_MAX, copies) ||
      copies != (IsBlock(measure.measure) ? COPIES_PER_BLOCK : 1) ||
      !Whole(head[4], UINT32_MAX, pairs) || pairs == 0 || !Whole(head[5], UINT32_MAX, rounds) ||
      !Whole(head[6], RoundsRecord::WAITED_OUT, end) ||
      !Figure(head[7], measure.noise_floor_cycles) || !Whole(head[8], rounds, shared) ||
      !Whole(head[9], 1, waited) || !Whole(head[10], 1, all_shared))
    return "a measure's settings out of range";
  measure.chunk_length = static_cast<uint32_t>(chunk);
  measure.copies = static_cast<uint32_t>(copies);
  measure.pairs = static_cast<uint32_t>(pairs);
  measure.rounds = static_cast<uint32_t>(rounds);
  measure.end = static_cast<RoundsRecord::End>(end);
  measure.shared_rounds = static_cast<uint32_t>(shared);
  measure.waited = waited == 1;
  measure.grid = GridFor(measure.measure);
  for (size_t at = 11; at < head.size(); ++at) {
    uint64_t kernel;
    if (!Whole(head[at], UINT32_MAX, kernel)) return "a kernel index unreadable";
    measure.kernels.push_back(kernel);
  }
  if (measure.kernels != timed.kernels) return "other kernels than the measure times";
  std::vector<std::string> refused;
  for (size_t kernel = 0; kernel < expected.kernel_names.size(); ++kernel) {
    if (std::find(timed.kernels.begin(), timed.kernels.end(), kernel) == timed.kernels.end())
      refused.push_back(expected.kernel_names[kernel]);
  }
  // The samples come pass by pass, kernel by kernel, placement by placement: each where expected.
  const size_t per_pass = measure.kernels.size() * measure.grid.size();
  for (std::string line; std::getline(lines, line);) {
    ++line_number;
    if (lines.eof()) break;  // a line without its end
    const std::vector<std::string> words = Words(line);
    if (line.rfind("refusal ", 0) == 0) {
      const auto name =
          std::find(refused.begin(), refused.end(), line.substr(8, line.find(": ") - 8));
      if (name == refused.end() || line.find(": ") == std::string::npos)
        return "a refusal of no kernel the measure leaves out";
      refused.erase(name);
      measure.refusals.push_back(line.substr(8));
    } else if (words.size() == 7 && words[0] == "s") {
      const size_t at = measure.samples.size();
      if (at >= 2 * per_pass) return "more samples than cells";
      const size_t in_pass = at % per_pass;
      SweepSample sample{static_cast<Pass>(at / per_pass),
                         measure.kernels[in_pass / measure.grid.size()],
                         in_pass % measure.grid.size(),
                         0,
                         0,
                         0,
                         0};
      if (words[1] != std::to_string(sample.pass) || words[2] != std::to_string(sample.kernel) ||
          words[3] != std::to_string(sample.placement))
        return "a sample out of its place";
      if (!Figure(words[4], sample.net_cycles) || !Figure(words[5], sample.first_half_cycles) ||
          !Figure(words[6], sample.second_half_cycles))
        return "a sample's figure unreadable";
      measure.samples.push_back(sample);
    } else if (words.size() == 6 && words[0] == "clock") {
      // The sweep's range so far and its median, then this measure's range.
      double clock[5];
      for (int i = 0; i < 5; ++i) {
        if (!Figure(words[1 + i], clock[i]) || !(clock[i] >= 0)) return "a clock out of range";
      }
      if (!std::getline(lines, line) || line != "done") return "a measure without its end";
      ++line_number;
      if (measure.samples.size() != 2 * per_pass) return "fewer samples than cells";
      if (!refused.empty()) return "no refusal of " + refused.front();
      read.slowest_clock_ghz = clock[0];
      read.fastest_clock_ghz = clock[1];
      read.median_clock_ghz = clock[2];
      measure.slowest_clock_ghz = clock[3];
      measure.fastest_clock_ghz = clock[4];
      // The figures follow from the samples, as the process made them: nothing more to trust.
      measure.figures = FiguresOf(measure.samples, expected.precision_cycles, all_shared == 1);
      read.measures.push_back(std::move(measure));
      return "";
    } else {
      return "unexpected in a measure";
    }
  }
  return "a measure cut short";
}

}  // namespace

std::string MeasureLines(const SweepResult& so_far, size_t measure) {
  const MeasureResult& found = so_far.measures[measure];
  std::ostringstream out;
  out << "measure " << MeasureName(found.measure) << " " << found.chunk_length << " "
      << found.copies << " " << found.pairs << " " << found.rounds << " "
      << static_cast<int>(found.end) << " " << Number(found.noise_floor_cycles) << " "
      << found.shared_rounds << " " << (found.waited ? 1 : 0) << " "
      << (!found.figures.empty() && found.figures.front().shared_core ? 1 : 0);
  for (size_t kernel : found.kernels) out << " " << kernel;
  out << "\n";
  for (const std::string& refusal : found.refusals) out << "refusal " << refusal << "\n";
  for (const SweepSample& sample : found.samples) {
    out << "s " << sample.pass << " " << sample.kernel << " " << sample.placement << " "
        << Number(sample.net_cycles) << " " << Number(sample.first_half_cycles) << " "
        << Number(sample.second_half_cycles) << "\n";
  }
  out << "clock " << Number(so_far.slowest_clock_ghz) << " " << Number(so_far.fastest_clock_ghz)
      << " " << Number(so_far.median_clock_ghz) << " " << Number(found.slowest_clock_ghz) << " "
      << Number(found.fastest_clock_ghz) << "\ndone\n";
  return out.str();
}

std::string ErrorLine(const std::string& error) {
  std::string line = error;
  for (char& c : line) c = c == '\n' ? ' ' : c;
  return "error " + line + "\n";
}

ReportReadBack ReadReportBack(const std::string& report, const ReportExpected& expected) {
  ReportReadBack read;
  std::istringstream lines(report);
  size_t line_number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++line_number;
    const bool whole_line = !lines.eof();
    std::string problem;
    if (line == "end" && whole_line) {
      read.complete = lines.peek() == EOF;
      if (!read.complete) problem = "more after the end";
    } else if (!read.error.empty()) {
      problem = "more after the sweep's own failure";
    } else if (line.rfind("error ", 0) == 0 && whole_line) {
      read.error = line.substr(6);
    } else if (line.rfind("measure ", 0) == 0) {
      problem = ReadMeasure(Words(line), lines, line_number, expected, read);
    } else if (line.rfind("state ", 0) == 0 || line.rfind("system call ", 0) == 0) {
      // The process ends as it writes one; anything after it was written by something else.
      if (whole_line && lines.peek() == EOF) return read;
      problem = "more after a failure's own line";
    } else {
      problem = "unexpected";
    }
    if (!problem.empty()) {
      read.problem = "line " + std::to_string(line_number) + ": " + problem;
      read.complete = false;
      return read;
    }
    if (read.complete) return read;
  }
  return read;
}

}  // namespace stats
