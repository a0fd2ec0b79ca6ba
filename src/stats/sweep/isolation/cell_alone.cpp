#include "stats/sweep/isolation/cell_alone.h"

#include "stats/pass.h"
#include "stats/sweep/isolation/child_exits.h"
#include "stats/sweep/isolation/child_input.h"
#include "stats/sweep/isolation/fp_guard.h"
#include "stats/sweep/placed/checked_chunks.h"
#include "stats/sweep/placed/loop_check.h"
#include "stats/sweep/placed/measure_code.h"
#include "stats/sweep/placed/procedures.h"
#include "stats/system/processes.h"

namespace stats {

namespace {

// A cell runs in microseconds; a second of slack covers a loaded machine.
constexpr int ALONE_LIMIT_MS = 2000;
constexpr int ALONE_REPEATS = 3;
constexpr size_t ALONE_HEAP_BYTES = 16 << 20;
constexpr char ALONE_DONE[] = "alone: done\n";

// In the child: the kernel's code of the cell, then the empty procedure's, in both passes, a few
// times over, each chunk checked as the sweep checks it; reports that it is done only if nothing
// went wrong.
[[noreturn]] void RunAlone(const Procedure& kernel, const NamedCell& cell, uint32_t calls,
                           uint64_t seed, ReportChannel report) {
  const std::vector<Procedure> procedures = {kernel, EmptyProcedureCopy()};
  SeedLoopCheck(seed);
  MeasureCode code(cell.measure, procedures);
  if (!code.ok()) ExitAtOnce(CANNOT_PLACE);
  GuardFloatControl(report);
  if (!EnterSandbox(MeasuringSandbox(report, ALONE_HEAP_BYTES)).empty())
    ExitAtOnce(CANNOT_CLOSE_IN);
  // A call loop is one code per procedure; blocks are two, of N and 2N copies.
  const size_t codes = IsBlock(cell.measure) ? 2 : 1;
  CheckedChunks chunks(code, procedures.size(), IsBlock(cell.measure));
  for (int repeat = 0; repeat < ALONE_REPEATS; ++repeat) {
    for (size_t at = 0; at < 2 * codes; ++at) {
      for (Pass pass : {POSITIVE, NEGATIVE}) {
        chunks.Ticks({pass, at, cell.placement}, calls);
        if (!chunks.failure().empty()) EndForBrokenChunk(chunks.failure());
        CheckFloatControl();
      }
    }
  }
  ReportBytes(report, ALONE_DONE, sizeof ALONE_DONE - 1);
  ExitAtOnce(0);
}

}  // namespace

void PlayCellAlone(const std::string& input, const RoleContext& context) {
  InputReader read(input);
  const Procedure kernel = read.Kernel();
  NamedCell cell;
  cell.measure = static_cast<SweepMeasure>(read.Below(MEASURE_NAMES.size()));
  cell.kernel = 0;
  cell.placement = read.Number();
  const auto calls = static_cast<uint32_t>(read.Below(uint64_t{1} << 32));
  const uint64_t seed = read.Number();
  if (!read.whole()) RefuseRoleInput(CELL_ALONE_ROLE, "its cell is garbled");
  RunAlone(kernel, cell, calls, seed, context.report);
}

SandboxRules MeasuringSandbox(ReportChannel report, size_t heap_bytes) {
  SandboxRules rules;
  rules.report = report;
  rules.heap_bytes = heap_bytes;
  return rules;
}

bool FailsAgainAlone(const std::vector<Procedure>& kernels, const NamedCell& cell,
                     const SweepSettings& settings) {
  const uint32_t calls = settings.calls != 0 ? settings.calls : IsBlock(cell.measure) ? 101 : 1001;
  ChildLimits limits;
  limits.time_limit_ms = ALONE_LIMIT_MS;
  limits.output_limit = 64 << 10;
  limits.stops_with_us = true;
  InputWriter input;
  input.Kernel(kernels[static_cast<size_t>(cell.kernel)]);
  input.Number(static_cast<uint64_t>(cell.measure));
  input.Number(cell.placement);
  input.Number(calls);
  input.Number(settings.seed);
  const ChildRun child = RunRole(CELL_ALONE_ROLE, input.bytes(), limits);
  // Stopped, or never run (it could not be started): nothing is confirmed.
  if (child.outcome == ChildRun::STOPPED || child.outcome == ChildRun::FAILED) return false;
  return !(Succeeded(child) && child.report == ALONE_DONE);
}

}  // namespace stats
