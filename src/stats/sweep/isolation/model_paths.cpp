#include "stats/sweep/isolation/model_paths.h"

#include <cstdlib>
#include <cstring>

#include "stats/sweep/placed/blocks.h"
#include "stats/system/code_arena.h"
#include "stats/system/files.h"
#include "stats/system/path_recorder.h"
#include "stats/system/processes.h"
#include "stats/system/sandbox.h"

namespace stats {

namespace {

constexpr int RECORDING_LIMIT_MS = 5000;
// Room for one copy of the longest kernel a user may give, its glue and the RET after it.
constexpr size_t SLOT = 256;
constexpr uint8_t RET = 0xC3;
// Every copy's path at its bound, with room to spare: no more is read from the child.
constexpr size_t RECORDING_OUTPUT_LIMIT = 16 << 20;
// The child's own exit status when it cannot place the code or close itself in.
constexpr int CANNOT_PLACE = 120;

// What the child writes per copy: its index, outcome, signal and offset count, then the offsets.
struct PathHeader {
  uint32_t copy, outcome, signal, count;
};

[[noreturn]] void RecordInChild(const std::vector<CopyPath>& copies, int report) {
  CodeArena arena(copies.size() * SLOT);
  if (!arena.ok()) std::_Exit(CANNOT_PLACE);
  std::memset(arena.writable(), 0xCC, arena.size());
  for (size_t at = 0; at < copies.size(); ++at) {
    uint8_t* slot = arena.writable() + at * SLOT;
    std::memcpy(slot, copies[at].bytes.data(), copies[at].bytes.size());
    slot[copies[at].bytes.size()] = RET;
  }
  if (!arena.MakeExecutable()) std::_Exit(CANNOT_PLACE);
  SandboxRules rules;
  rules.report = report;
  rules.address_room = 64 << 20;
  rules.steps_through = true;
  if (!EnterSandbox(rules).empty()) std::_Exit(CANNOT_PLACE);
  for (size_t at = 0; at < copies.size(); ++at) {
    const RecordedPath path = RecordPath(arena.bytes() + at * SLOT, copies[at].bytes.size(),
                                         PASS_OPERANDS[copies[at].pass]);
    const PathHeader header{static_cast<uint32_t>(at), static_cast<uint32_t>(path.outcome),
                            static_cast<uint32_t>(path.signal),
                            static_cast<uint32_t>(path.offsets.size())};
    std::string record(reinterpret_cast<const char*>(&header), sizeof header);
    record.append(reinterpret_cast<const char*>(path.offsets.data()),
                  path.offsets.size() * sizeof(uint32_t));
    if (WriteAll(report, record) != 0) std::_Exit(CANNOT_PLACE);
  }
  std::_Exit(0);
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
      return "its copy raised signal " + std::to_string(header.signal) + " (" +
             strsignal(static_cast<int>(header.signal)) + ") when its path was recorded";
    default:
      return "it turned the trap flag off, so its path is not known";
  }
}

}  // namespace

std::vector<CopyPath> RecordCopyPaths(const std::vector<Procedure>& procedures,
                                      const std::vector<SweepMeasure>& measures) {
  std::vector<CopyPath> copies;
  for (SweepMeasure measure : measures) {
    if (measure == SweepMeasure::CALL) continue;
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
  const ChildRun child = RunChild([&](int report) { RecordInChild(copies, report); }, limits);
  std::vector<bool> recorded(copies.size(), false);
  for (size_t at = 0; at + sizeof(PathHeader) <= child.report.size();) {
    PathHeader header;
    std::memcpy(&header, child.report.data() + at, sizeof header);
    at += sizeof header;
    const size_t length = header.count * sizeof(uint32_t);
    if (header.copy >= copies.size() || header.count > PATH_BOUND ||
        at + length > child.report.size()) {
      break;
    }
    CopyPath& copy = copies[header.copy];
    copy.offsets.resize(header.count);
    std::memcpy(copy.offsets.data(), child.report.data() + at, length);
    copy.why_not = WhyNot(header);
    recorded[header.copy] = true;
    at += length;
  }
  std::string lost = "its path could not be recorded: " + child.failure;
  if (child.outcome == ChildRun::ENDED && !RefusedSystemCall(child.status, child.report).empty()) {
    lost = "the process recording paths was ended: a copy made the system call " +
           RefusedSystemCall(child.status, child.report);
  } else if (child.outcome == ChildRun::ENDED) {
    lost = "the process recording its path " + DescribeWaitStatus(child.status);
  } else if (child.outcome == ChildRun::TIMED_OUT) {
    lost = "the process recording its path did not end within " +
           std::to_string(RECORDING_LIMIT_MS / 1000) + " s";
  }
  for (size_t at = 0; at < copies.size(); ++at) {
    if (!recorded[at]) copies[at].why_not = lost;
  }
  return copies;
}

}  // namespace stats
