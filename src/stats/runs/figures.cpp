#include "stats/runs/figures.h"

#include <algorithm>
#include <sstream>

#include "stats/text/format.h"

namespace stats {

Figures ComputeFigures(const RunSet& runs) {
  Figures figures;
  std::vector<int32_t> baselines;
  for (const Report& run : runs.reports) baselines.push_back(run.baseline_ms);
  figures.baseline = Summarize(baselines);
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    PassFigures& figures_of_pass = figures.passes[pass];
    for (int kernel = 0; kernel < KERNEL_COUNT; ++kernel) {
      std::vector<int32_t> samples;
      for (const Report& run : runs.reports) samples.push_back(run.net_ms[pass][kernel]);
      figures_of_pass.kernels.push_back(Summarize(samples));
    }
    figures_of_pass.ranking = RankByMedian(figures_of_pass.kernels);
  }
  return figures;
}

std::string FormatTable(const RunSet& runs, const Figures& figures, const MachineFacts& machine) {
  std::ostringstream out;
  out << "absbench-stats: " << runs.origin << "\n"
      << "processor: " << machine.processor << "\n"
      << "system: " << machine.system << "\n"
      << "priority raise: "
      << (machine.priority_raise_allowed
              ? "allowed"
              : "refused (needs root or CAP_SYS_NICE: runs at normal priority)")
      << "\n";
  if (runs.from_saved_reports) {
    out << "(this machine, which made the summary; the saved reports may come from another)\n";
  }
  out << "\n"
      << "empty procedure: median " << FormatMedian(figures.baseline.median) << " ms, minimum "
      << figures.baseline.minimum << ", maximum " << figures.baseline.maximum << " (over "
      << runs.reports.size() << (runs.reports.size() == 1 ? " run)\n" : " runs)\n");
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    out << "\n"
        << PASS_NAMES[pass] << " pass (operand " << PASS_OPERANDS[pass]
        << "), net ms per 10^9 calls, ranked by median\n"
        << "rank  kernel              median  minimum  maximum\n";
    const PassFigures& figures_of_pass = figures.passes[pass];
    int rank = 0;
    for (size_t kernel : figures_of_pass.ranking) {
      const Summary& summary = figures_of_pass.kernels[kernel];
      out << Padded(std::to_string(++rank), 4, true) << "  "
          << Padded(KernelWords(static_cast<int>(kernel)), 18, false)
          << Padded(FormatMedian(summary.median), 8, true)
          << Padded(std::to_string(summary.minimum), 9, true)
          << Padded(std::to_string(summary.maximum), 9, true) << "\n";
    }
  }
  return out.str();
}

std::string FormatCsv(const RunSet& runs) {
  std::ostringstream out;
  out << "run,pass,kernel,net_ms,baseline_ms\n";
  for (size_t run = 0; run < runs.reports.size(); ++run) {
    const Report& report = runs.reports[run];
    for (Pass pass : {POSITIVE, NEGATIVE}) {
      for (int kernel = 0; kernel < KERNEL_COUNT; ++kernel) {
        out << run + 1 << "," << PASS_NAMES[pass] << "," << KernelName(kernel) << ","
            << report.net_ms[pass][kernel] << "," << report.baseline_ms << "\n";
      }
    }
  }
  return out.str();
}

}  // namespace stats
