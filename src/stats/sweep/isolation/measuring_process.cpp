#include "stats/sweep/isolation/measuring_process.h"

#include <algorithm>

#include "stats/sweep/estimate/grid.h"
#include "stats/sweep/estimate/rounds.h"
#include "stats/sweep/isolation/beacon.h"
#include "stats/sweep/isolation/blame.h"
#include "stats/sweep/isolation/cell_alone.h"
#include "stats/sweep/isolation/child_input.h"
#include "stats/sweep/isolation/deadline.h"
#include "stats/sweep/isolation/fp_guard.h"
#include "stats/sweep/isolation/wire_format.h"
#include "stats/sweep/placed/procedures.h"
#include "stats/system/containment.h"
#include "stats/system/fault_address.h"
#include "stats/system/files.h"
#include "stats/system/processes.h"
#include "stats/system/sandbox.h"
#include "stats/system/stop_requests.h"

namespace stats {

namespace {

// The heap the sweep's rounds may need, had before the measuring process closes itself in: from the
// rounds asked, or the most a measure with a time makes.
size_t SweepHeapBytes(const std::vector<Procedure>& kernels, const SweepSettings& settings) {
  size_t most_visits = 0;
  for (const MeasureKernels& measure : KernelsMeasured(settings.measures, kernels)) {
    const size_t cells = 2 * (measure.kernels.size() + 1) * GridFor(measure.measure).size();
    most_visits = std::max(
        most_visits, settings.rounds != 0 ? settings.rounds * cells : MOST_VISITS_PER_MEASURE);
  }
  return RoundsHeapBytes(most_visits);
}

// In the measuring process: the parent reads each measure whole or not at all.
void SendToParent(ReportChannel report, const std::string& text) {
  if (!ReportAll(report, text)) ExitAtOnce(CANNOT_REPORT);
}

[[noreturn]] void Measure(const std::vector<Procedure>& kernels, const SweepSettings& settings,
                          const MeasureSweep& measure_sweep, Beacon& beacon, ReportChannel report) {
  GuardFloatControl(report);
  SweepHooks hooks;
  hooks.progress = [&](size_t done, size_t total, bool waiting) {
    beacon.Count(done, total, waiting);
  };
  hooks.entering = [&](SweepMeasure measure, int kernel, size_t placement) {
    CheckFloatControl();
    beacon.Enter(measure, kernel, placement);
  };
  hooks.copies_entered = [&](const PlacedCopies& copies) { beacon.Placed(copies); };
  hooks.broke = EndForBrokenChunk;
  hooks.chunk_ended = CheckFloatControl;
  // The parent ends this process by a signal when it is asked to stop; nothing to ask here.
  hooks.stop_requested = [] { return false; };
  hooks.stopped_seconds = [&] { return beacon.StoppedSeconds(); };
  hooks.prepared = [&] {
    const std::string problem =
        EnterSandbox(MeasuringSandbox(report, SweepHeapBytes(kernels, settings)));
    if (problem.empty()) return;
    SayOnStandardError(problem);
    ExitAtOnce(CANNOT_SANDBOX);
  };
  hooks.finished = [&](const SweepResult& so_far, size_t measure) {
    SendToParent(report, MeasureLines(so_far, measure));
  };
  const SweepResult measured = measure_sweep(kernels, settings, hooks);
  CheckFloatControl();
  if (!measured.error.empty()) SendToParent(report, ErrorLine(measured.error));
  SendToParent(report, END_LINE);
  ExitAtOnce(0);
}

// A measuring process for `settings`, watched: it is taken for hung when its count of visits stands
// still, and stopped at its deadline whatever it counts. Time stopped by Ctrl-Z counts toward
// neither.
ChildRun RunMeasuringProcess(const std::vector<Procedure>& kernels, const SweepSettings& settings,
                             const std::function<void(size_t, size_t, bool)>& progress,
                             const std::string& role, Beacon& beacon) {
  ChildLimits limits;
  limits.stops_with_us = true;
  limits.output_limit = MEASURING_OUTPUT_LIMIT;
  limits.time_limit_ms =
      static_cast<int>(std::min(1000 * MeasuringDeadlineSeconds(settings, kernels.size()), 1e9));
  limits.stopped_ns = beacon.stopped_ns();
  size_t last_done = 0;
  double last_change = RunningSeconds();
  limits.still_working = [&] {
    const double at = RunningSeconds();
    if (beacon.done() != last_done) {
      last_done = beacon.done();
      last_change = at;
      progress(last_done, beacon.total(), beacon.waiting());
    }
    return at - last_change < MEASURING_QUIET_LIMIT_MS / 1000.0;
  };
  InputWriter input;
  input.Kernels(kernels);
  input.Settings(settings);
  return RunRole(role, input.bytes(), limits, &beacon.page());
}

// The measures that ended in one measuring process, kept and never measured again.
void Keep(SweepResult& result, const ReportReadBack& read) {
  if (read.measures.empty()) return;
  MergeClocks(result, result.measures.empty(), read.slowest_clock_ghz, read.fastest_clock_ghz,
              read.median_clock_ghz);
  result.measures.insert(result.measures.end(), read.measures.begin(), read.measures.end());
}

// Every ms from its cycles at the one clock the header states, whichever process measured it.
void AtOneClock(SweepResult& result) {
  for (MeasureResult& measure : result.measures) {
    for (SweepSample& sample : measure.samples) {
      sample.net_ms =
          result.median_clock_ghz > 0 ? 1000 * sample.net_cycles / result.median_clock_ghz : 0;
    }
  }
}

// The measures kept so far, without the kernel `left`: its samples and refusals go, and the
// indices above it close up.
void Without(std::vector<MeasureResult>& measures, size_t left, const std::string& name,
             double precision_cycles) {
  for (MeasureResult& measure : measures) {
    measure.kernels.erase(std::remove(measure.kernels.begin(), measure.kernels.end(), left),
                          measure.kernels.end());
    for (size_t& kernel : measure.kernels) kernel -= kernel > left ? 1 : 0;
    measure.samples.erase(std::remove_if(measure.samples.begin(), measure.samples.end(),
                                         [&](const SweepSample& s) { return s.kernel == left; }),
                          measure.samples.end());
    for (SweepSample& sample : measure.samples) sample.kernel -= sample.kernel > left ? 1 : 0;
    const bool shared_core = !measure.figures.empty() && measure.figures.front().shared_core;
    measure.figures = FiguresOf(measure.samples, precision_cycles, shared_core);
    measure.noise_floor_cycles = TypicalUncertainty(measure.figures);
    measure.refusals.erase(std::remove_if(measure.refusals.begin(), measure.refusals.end(),
                                          [&](const std::string& refusal) {
                                            return refusal.rfind(name + ": ", 0) == 0;
                                          }),
                           measure.refusals.end());
  }
}

}  // namespace

Role MeasuringRole(const std::string& name, MeasureSweep measure_sweep) {
  return [name, measure_sweep](const std::string& input, const RoleContext& context) {
    InputReader read(input);
    const std::vector<Procedure> kernels = read.Kernels();
    const SweepSettings settings = read.Settings();
    if (!read.whole()) RefuseRoleInput(name, "its kernels or settings are garbled");
    Beacon beacon(context.shared_page);
    if (!beacon.ok()) ExitAtOnce(CANNOT_SHARE);
    RecordFaultAddressIn(beacon.fault_address());
    Measure(kernels, settings, measure_sweep, beacon, context.report);
  };
}

SweepResult RunSweepInMeasuringProcess(std::vector<Procedure> kernels,
                                       const SweepSettings& settings,
                                       const std::function<void(size_t, size_t, bool)>& progress,
                                       const std::string& role) {
  const double start = RunningSeconds();
  SweepResult result;
  result.settings = settings;
  result.containment = ContainmentWords(ChildContainment());
  std::vector<SweepMeasure> to_come = settings.measures;
  while (true) {
    result.kernels = kernels;
    Beacon beacon;
    if (!beacon.ok()) {
      result.error =
          std::string("cannot share a page with the measuring process: ") + beacon.error();
      return result;
    }
    // A process taken up again has the time left, not the whole cap again.
    SweepSettings now = settings;
    now.measures = to_come;
    now.measures_before = settings.measures.size() - to_come.size();
    now.seconds_before = RunningSeconds() - start;
    const ChildRun child = RunMeasuringProcess(kernels, now, progress, role, beacon);
    if (child.outcome == ChildRun::STOPPED) {
      result.stopped = true;
      return result;
    }
    std::vector<std::string> names;
    for (const Procedure& kernel : kernels) names.push_back(kernel.name);
    const std::vector<MeasureKernels> timed = KernelsMeasured(to_come, kernels);
    // What came before a line that cannot be read is kept; that line is for the blame.
    const ReportReadBack read =
        ReadReportBack(child.report, {names, timed, settings.precision_cycles});
    Keep(result, read);
    to_come.erase(to_come.begin(), to_come.begin() + static_cast<long>(read.measures.size()));
    // The sweep's own failure, or the whole sweep, only from a report that ended as it should. A
    // user's kernel can write an error to the report too: beside one, the error is blamed as any
    // other failure, so that it takes at most the user's kernels with it.
    const bool users = std::any_of(kernels.begin(), kernels.end(), [](const Procedure& kernel) {
      return kernel.origin == Procedure::Origin::USER;
    });
    std::string problem = read.problem;
    if (Succeeded(child) && read.complete && problem.empty()) {
      if (!read.error.empty() && !users) {
        result.error = read.error;
        return result;
      }
      if (read.error.empty() && to_come.empty()) {
        AtOneClock(result);
        return result;
      }
      if (!read.error.empty()) problem = "an error: " + read.error;
    }
    const Blame blame = ConfirmBlame(child, problem, beacon, kernels, timed, now);
    if (blame.stopped) {
      result.stopped = true;
      return result;
    }
    // No kernel confirmed: the table's are this program's own, so every one of the user's goes,
    // with that reason, and the table is measured without them; with none, the sweep failed.
    std::vector<size_t> leaving;
    if (blame.kernel) {
      leaving.push_back(*blame.kernel);
    } else {
      for (size_t at = kernels.size(); at-- > 0;) {
        if (kernels[at].origin == Procedure::Origin::USER) leaving.push_back(at);
      }
    }
    if (leaving.empty()) {
      result.error = blame.what;
      return result;
    }
    for (const size_t kernel : leaving) {  // from the last, so that the others keep their places
      result.left_out.push_back(kernels[kernel].name + ": " + blame.what);
      Without(result.measures, kernel, kernels[kernel].name, settings.precision_cycles);
      kernels.erase(kernels.begin() + static_cast<long>(kernel));
    }
  }
}

}  // namespace stats
