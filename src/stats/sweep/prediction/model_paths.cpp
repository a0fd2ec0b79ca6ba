#include "stats/sweep/prediction/model_paths.h"

#include <algorithm>
#include <cstring>

#include "stats/sweep/isolation/child_exits.h"
#include "stats/sweep/isolation/child_input.h"
#include "stats/sweep/placed/blocks.h"
#include "stats/system/code_arena.h"
#include "stats/system/files.h"
#include "stats/system/path_recorder.h"
#include "stats/system/processes.h"
#include "stats/system/sandbox.h"
#include "stats/text/format.h"

namespace stats {

namespace {

// Wall time of one recording process: each copy is held to PATH_TIME_LIMIT_MS of processor time
// by the recorder itself, so this ends only one that stopped its timer.
constexpr int RECORDING_LIMIT_MS = 1000;
// A process ended by a copy is started again from the copy after it, so many times at most.
constexpr int RECORDING_PROCESSES = 6;
// Room for one copy of the longest kernel a user may give, its glue and the RET after it.
constexpr size_t SLOT = 256;
constexpr uint8_t RET = 0xC3;
// Every copy's path at its bound, with room to spare: no more is read from the child.
constexpr size_t RECORDING_OUTPUT_LIMIT = 16 << 20;

// What the child writes per copy: its index, outcome, signal and offset count, then the offsets.
struct PathHeader {
  uint32_t copy, outcome, signal, count;
};

// Records the copies from `first` on, in order.
[[noreturn]] void RecordInChild(const std::vector<CopyPath>& copies, size_t first,
                                ReportChannel report) {
  CodeArena arena(copies.size() * SLOT);
  if (!arena.ok()) ExitAtOnce(CANNOT_PLACE);
  std::memset(arena.writable(), 0xCC, arena.size());
  for (size_t at = 0; at < copies.size(); ++at) {
    // The glue's copy in the latency positive pass has no bytes, and no data() to copy from.
    uint8_t* slot =
        std::copy(copies[at].bytes.begin(), copies[at].bytes.end(), arena.writable() + at * SLOT);
    *slot = RET;
  }
  if (!arena.MakeExecutable()) ExitAtOnce(CANNOT_PLACE);
  SandboxRules rules;
  rules.report = report;
  rules.steps_through = true;
  if (!EnterSandbox(rules).empty()) ExitAtOnce(CANNOT_PLACE);
  for (size_t at = first; at < copies.size(); ++at) {
    const RecordedPath path = RecordPath(arena.bytes() + at * SLOT, copies[at].bytes.size(),
                                         PASS_OPERANDS[copies[at].pass]);
    const PathHeader header{static_cast<uint32_t>(at), static_cast<uint32_t>(path.outcome),
                            path.fault, static_cast<uint32_t>(path.offsets.size())};
    std::string record(reinterpret_cast<const char*>(&header), sizeof header);
    record.append(reinterpret_cast<const char*>(path.offsets.data()),
                  path.offsets.size() * sizeof(uint32_t));
    if (!ReportAll(report, record)) ExitAtOnce(CANNOT_PLACE);
  }
  ExitAtOnce(0);
}

std::string WhyNot(const PathHeader& header) {
  switch (header.outcome) {
    case RecordedPath::RETURNED:
      return "";
    case RecordedPath::TOO_LONG:
      return "its path runs more than " + std::to_string(PATH_BOUND) + " instructions";
    case RecordedPath::LEFT:
      return "its path leaves its own bytes";
    case RecordedPath::FAULTED:
      return "its copy raised " + DescribeFault(header.signal) + " when its path was recorded";
    case RecordedPath::TIMED_OUT:
      return "its copy ran " + Fixed(PATH_TIME_LIMIT_MS / 1000.0, 1) +
             " s of processor time without an end when its path was recorded";
    default:
      return "it turned the trap flag off, so its path is not known";
  }
}

// Reads the child's records, in order from copy `next` on; returns the copy after the last read.
size_t ReadRecords(const std::string& report, size_t next, std::vector<CopyPath>& copies) {
  for (size_t at = 0; at + sizeof(PathHeader) <= report.size() && next < copies.size();) {
    PathHeader header;
    std::memcpy(&header, report.data() + at, sizeof header);
    at += sizeof header;
    const size_t length = header.count * sizeof(uint32_t);
    // The record of another copy is not the child's own: a copy that wrote to the report.
    if (header.copy != next || header.count > PATH_BOUND || at + length > report.size()) break;
    CopyPath& copy = copies[next++];
    copy.offsets.resize(header.count);
    if (length > 0) std::memcpy(copy.offsets.data(), report.data() + at, length);
    copy.why_not = WhyNot(header);
    at += length;
  }
  return next;
}

// Why the copy that ran when the child ended has no path.
std::string WhyEnded(const ChildRun& child) {
  if (child.outcome == ChildRun::TIMED_OUT) {
    return "its copy did not end within " + Fixed(RECORDING_LIMIT_MS / 1000.0, 1) +
           " s when its path was recorded";
  }
  if (child.outcome == ChildRun::OVERFLOWED) {
    return "its copy wrote more than " + std::to_string(RECORDING_OUTPUT_LIMIT >> 20) +
           " MiB when its path was recorded";
  }
  const std::string call = RefusedSystemCall(child);
  if (!call.empty()) return "its copy made the system call " + call + " when its path was recorded";
  return "the process recording its path " + child.ending.words;
}

}  // namespace

void PlayPathRecording(const std::string& input, const RoleContext& context) {
  InputReader read(input);
  std::vector<CopyPath> copies(read.Below(1 << 16));
  for (CopyPath& copy : copies) {
    copy.pass = static_cast<Pass>(read.Below(2));
    copy.bytes = read.Bytes();
    if (copy.bytes.size() >= SLOT) RefuseRoleInput(PATH_RECORDING_ROLE, "a copy is too long");
  }
  const uint64_t first = read.Number();
  if (!read.whole() || first > copies.size())
    RefuseRoleInput(PATH_RECORDING_ROLE, "its copies are garbled");
  RecordInChild(copies, first, context.report);
}

std::vector<CopyPath> RecordCopyPaths(const std::vector<Procedure>& procedures,
                                      const std::vector<SweepMeasure>& measures) {
  std::vector<CopyPath> copies;
  for (SweepMeasure measure : measures) {
    if (!IsBlock(measure)) continue;
    for (Pass pass : {POSITIVE, NEGATIVE}) {
      for (const Procedure& procedure : procedures) {
        if (!procedure.inline_refusal.empty()) continue;
        copies.push_back(
            {measure, pass, procedure.name, BlockCopies(measure, pass, procedure, 1), {}, "", {}});
      }
    }
  }
  ChildLimits limits;
  limits.time_limit_ms = RECORDING_LIMIT_MS;
  limits.output_limit = RECORDING_OUTPUT_LIMIT;
  limits.stops_with_us = true;
  size_t next = 0;
  std::string lost;
  for (int process = 0; next < copies.size() && lost.empty(); ++process) {
    if (process == RECORDING_PROCESSES) {
      lost = "its path was not recorded: copies before it ended " +
             std::to_string(RECORDING_PROCESSES) + " processes recording paths";
      break;
    }
    const size_t first = next;
    InputWriter input;
    input.Number(copies.size());
    for (const CopyPath& copy : copies) {
      input.Number(copy.pass);
      input.Bytes(copy.bytes);
    }
    input.Number(first);
    const ChildRun child = RunRole(PATH_RECORDING_ROLE, input.bytes(), limits);
    next = ReadRecords(child.report, first, copies);
    if (next == copies.size()) break;
    if (child.outcome == ChildRun::STOPPED || child.outcome == ChildRun::FAILED ||
        (child.outcome == ChildRun::ENDED && child.ending.exit_code == CANNOT_PLACE)) {
      lost = "its path could not be recorded: " +
             (child.outcome == ChildRun::FAILED ? child.failure
                                                : "the process recording it " + child.ending.words);
    } else if (child.outcome != ChildRun::TIMED_OUT || next == first) {
      // Out of time after others, the copy running then may just have begun: it runs again.
      copies[next].why_not = WhyEnded(child);
      ++next;
    }
  }
  for (; next < copies.size(); ++next) copies[next].why_not = lost;
  return copies;
}

}  // namespace stats
