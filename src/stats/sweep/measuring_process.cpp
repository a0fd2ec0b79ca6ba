#include "stats/sweep/measuring_process.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>
#include <x86intrin.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "stats/child_process.h"
#include "stats/file_output.h"
#include "stats/sweep/blocks.h"
#include "stats/sweep/measurement.h"

namespace stats {

namespace {

// In the measuring process: the parent reads a report whole or not at all.
void Report(int fd, const std::string& text) {
  if (WriteAll(fd, text) != 0) _exit(4);
}

uint16_t X87ControlWord() {
  uint16_t word;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
}

// MXCSR without its sticky exception flags, which any inexact division sets.
uint32_t MxcsrControl() { return _mm_getcsr() & ~0x3Fu; }

void AppendText(char*& at, const char* text) {
  while (*text != '\0') *at++ = *text++;
}

void AppendHex(char*& at, uint32_t value) {
  for (int shift = 12; shift >= 0; shift -= 4) *at++ = "0123456789ABCDEF"[(value >> shift) & 15];
}

// "state it changed MXCSR from 1F80 to 0000\n" into `text`, its length returned, or 0 when neither
// changed. Safe in a signal handler: no allocation, no formatted printing.
size_t DescribeChange(char (&text)[80], uint32_t mxcsr_before, uint32_t mxcsr_now,
                      uint16_t x87_before, uint16_t x87_now) {
  const bool mxcsr_changed = mxcsr_now != mxcsr_before;
  if (!mxcsr_changed && x87_now == x87_before) return 0;
  char* at = text;
  AppendText(at, mxcsr_changed ? "state it changed MXCSR from "
                               : "state it changed the x87 control word from ");
  AppendHex(at, mxcsr_changed ? mxcsr_before : x87_before);
  AppendText(at, " to ");
  AppendHex(at, mxcsr_changed ? mxcsr_now : x87_now);
  *at++ = '\n';
  return static_cast<size_t>(at - text);
}

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// What the measuring process's fault handler needs: set once, before any kernel runs.
int fault_report = -1;
uint32_t mxcsr_at_start = 0;
uint16_t x87_at_start = 0;

// A kernel that unmasks floating-point exceptions is caught at the next division of the code
// around it; the interrupted context still holds the control state it left.
void OnFloatingPointFault(int, siginfo_t*, void* context) {
  const auto* state = static_cast<ucontext_t*>(context)->uc_mcontext.fpregs;
  char text[80];
  const size_t length =
      DescribeChange(text, mxcsr_at_start, state->mxcsr & ~0x3Fu, x87_at_start, state->cwd);
  if (length == 0) {
    signal(SIGFPE, SIG_DFL);  // not a kernel's doing: fault again, and end by it
    return;
  }
  (void)!write(fault_report, text, length);
  _exit(3);
}

// The result as lines the parent reads back; reasons are one line each.
std::string Serialized(const SweepResult& result) {
  std::ostringstream out;
  out << "result\n";
  if (!result.error.empty()) out << "error " << result.error << "\n";
  out << "clock " << Number(result.slowest_clock_ghz) << " " << Number(result.fastest_clock_ghz)
      << " " << Number(result.median_clock_ghz) << "\n";
  for (const MeasureResult& measure : result.measures) {
    out << "measure " << static_cast<int>(measure.measure) << " " << measure.chunk_length << " "
        << measure.copies << " " << measure.pairs << " " << measure.rounds << " "
        << static_cast<int>(measure.end) << " " << Number(measure.noise_floor_cycles) << " "
        << measure.shared_rounds << " " << measure.waited;
    for (size_t kernel : measure.kernels) out << " " << kernel;
    out << "\n";
    for (const std::string& refusal : measure.refusals) out << "refusal " << refusal << "\n";
    for (const SweepSample& sample : measure.samples) {
      out << "s " << sample.pass << " " << sample.kernel << " " << sample.placement << " "
          << Number(sample.net_ms) << " " << Number(sample.net_cycles) << " "
          << Number(sample.first_half_cycles) << " " << Number(sample.second_half_cycles) << "\n";
    }
    for (const FigurePrecision& figure : measure.figures) {
      out << "f " << figure.pass << " " << figure.kernel << " " << Number(figure.median_cycles)
          << " " << Number(figure.uncertainty_cycles) << " " << figure.precise << " "
          << figure.shared_core << "\n";
    }
  }
  out << "end\n";
  return out.str();
}

// The result the child sent, into `result`; false when it did not send a whole one.
bool ReadBack(const std::string& report, SweepResult& result) {
  const size_t start = report.rfind("result\n");
  if (start == std::string::npos || report.size() < 4 ||
      report.compare(report.size() - 4, 4, "end\n") != 0) {
    return false;
  }
  std::istringstream lines(report.substr(start + 7));
  MeasureResult* measure = nullptr;
  for (std::string line; std::getline(lines, line) && line != "end";) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "error") {
      result.error = line.substr(6);
    } else if (kind == "clock") {
      words >> result.slowest_clock_ghz >> result.fastest_clock_ghz >> result.median_clock_ghz;
    } else if (kind == "measure") {
      int which = 0, end = 0;
      measure = &result.measures.emplace_back();
      words >> which >> measure->chunk_length >> measure->copies >> measure->pairs >>
          measure->rounds >> end >> measure->noise_floor_cycles >> measure->shared_rounds >>
          measure->waited;
      measure->measure = static_cast<SweepMeasure>(which);
      measure->end = static_cast<RoundsRecord::End>(end);
      measure->grid =
          measure->measure == SweepMeasure::CALL ? DefaultGrid() : BlockGrid(measure->measure);
      for (size_t kernel; words >> kernel;) measure->kernels.push_back(kernel);
    } else if (kind == "refusal" && measure != nullptr) {
      measure->refusals.push_back(line.substr(8));
    } else if (kind == "s" && measure != nullptr) {
      int pass = 0;
      SweepSample& sample = measure->samples.emplace_back();
      words >> pass >> sample.kernel >> sample.placement >> sample.net_ms >> sample.net_cycles >>
          sample.first_half_cycles >> sample.second_half_cycles;
      sample.pass = static_cast<Pass>(pass);
    } else if (kind == "f" && measure != nullptr) {
      int pass = 0;
      FigurePrecision& figure = measure->figures.emplace_back();
      words >> pass >> figure.kernel >> figure.median_cycles >> figure.uncertainty_cycles >>
          figure.precise >> figure.shared_core;
      figure.pass = static_cast<Pass>(pass);
    } else {
      return false;
    }
  }
  return true;
}

// A page shared with the measuring process, where it names each cell before running it and counts
// its visits: plain stores, where a write to a pipe per visit would cost a third of the sweep.
class Beacon {
 public:
  Beacon() {
    void* page =
        mmap(nullptr, sizeof(Fields), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    fields_ = page == MAP_FAILED ? nullptr : static_cast<Fields*>(page);
  }
  Beacon(const Beacon&) = delete;
  Beacon& operator=(const Beacon&) = delete;
  ~Beacon() {
    if (fields_ != nullptr) munmap(fields_, sizeof(Fields));
  }
  bool ok() const { return fields_ != nullptr; }

  // In the child: the cell about to run.
  void Enter(SweepMeasure measure, int kernel, size_t placement) {
    Store(fields_->measure, static_cast<int64_t>(measure));
    Store(fields_->kernel, kernel);
    Store(fields_->placement, static_cast<int64_t>(placement));
    Store(fields_->named, 1);
  }
  void Count(size_t done, size_t total, bool waiting) {
    Store(fields_->waiting, waiting ? 1 : 0);
    Store(fields_->total, static_cast<int64_t>(total));
    Store(fields_->done, static_cast<int64_t>(done));
  }

  // In the parent: the last cell named, or false when none was.
  bool LastCell(int& measure, int& kernel, size_t& placement) const {
    if (Load(fields_->named) == 0) return false;
    measure = static_cast<int>(Load(fields_->measure));
    kernel = static_cast<int>(Load(fields_->kernel));
    placement = static_cast<size_t>(Load(fields_->placement));
    return true;
  }
  size_t done() const { return static_cast<size_t>(Load(fields_->done)); }
  size_t total() const { return static_cast<size_t>(Load(fields_->total)); }
  bool waiting() const { return Load(fields_->waiting) != 0; }

 private:
  struct Fields {
    int64_t named, measure, kernel, placement, done, total, waiting;
  };
  static void Store(int64_t& field, int64_t value) {
    __atomic_store_n(&field, value, __ATOMIC_RELEASE);
  }
  static int64_t Load(const int64_t& field) { return __atomic_load_n(&field, __ATOMIC_ACQUIRE); }
  Fields* fields_ = nullptr;
};

// Why the measuring process ended without a result, for the cell it last named.
std::string WhatHappened(const ChildRun& child, const std::string& measure_name, size_t placement) {
  const std::string where = " at placement " + std::to_string(placement) + " of " + measure_name;
  const size_t state = child.report.rfind("state ");
  if (state != std::string::npos) {
    const size_t end = child.report.find('\n', state);
    return child.report.substr(state + 6, end - state - 6) + where;
  }
  if (child.outcome == ChildRun::WENT_QUIET) {
    return "it ran for " + std::to_string(MEASURING_QUIET_LIMIT_MS / 1000) +
           " s without finishing" + where;
  }
  if (child.outcome == ChildRun::ENDED && WIFSIGNALED(child.status)) {
    const int signal = WTERMSIG(child.status);
    const char* name = sigabbrev_np(signal);
    return std::string("killed by ") + (name ? "SIG" + std::string(name) : std::to_string(signal)) +
           where;
  }
  if (child.outcome == ChildRun::ENDED && WIFEXITED(child.status)) {
    return "it ended the measuring process with exit status " +
           std::to_string(WEXITSTATUS(child.status)) + where;
  }
  return "the measuring process failed" + where + ": " + child.failure;
}

}  // namespace

SweepResult RunSweepInMeasuringProcess(std::vector<Procedure> kernels,
                                       const SweepSettings& settings,
                                       const std::function<void(size_t, size_t, bool)>& progress) {
  std::vector<std::string> left_out;
  while (true) {
    SweepResult result;
    result.kernels = kernels;
    result.settings = settings;
    result.left_out = left_out;
    Beacon beacon;
    if (!beacon.ok()) {
      result.error =
          std::string("cannot share a page with the measuring process: ") + std::strerror(errno);
      return result;
    }
    ChildLimits limits;
    limits.stops_with_us = true;
    size_t last_done = 0;
    auto last_change = std::chrono::steady_clock::now();
    limits.still_working = [&] {
      const auto now = std::chrono::steady_clock::now();
      if (beacon.done() != last_done) {
        last_done = beacon.done();
        last_change = now;
        progress(last_done, beacon.total(), beacon.waiting());
      }
      return now - last_change < std::chrono::milliseconds(MEASURING_QUIET_LIMIT_MS);
    };
    const ChildRun child = RunChild(
        [&](int report) {
          const uint32_t mxcsr = mxcsr_at_start = MxcsrControl();
          const uint16_t x87 = x87_at_start = X87ControlWord();
          fault_report = report;
          struct sigaction on_fault = {};
          on_fault.sa_sigaction = OnFloatingPointFault;
          on_fault.sa_flags = SA_SIGINFO;
          sigaction(SIGFPE, &on_fault, nullptr);
          auto check = [&] {
            char text[80];
            const size_t length =
                DescribeChange(text, mxcsr, MxcsrControl(), x87, X87ControlWord());
            if (length != 0) {
              Report(report, std::string(text, length));
              _exit(3);
            }
          };
          const SweepResult measured = RunSweep(
              kernels, settings,
              [&](size_t done, size_t total, bool waiting) { beacon.Count(done, total, waiting); },
              [&](SweepMeasure measure, int kernel, size_t placement) {
                check();
                beacon.Enter(measure, kernel, placement);
              });
          check();
          Report(report, Serialized(measured));
          _exit(0);
        },
        limits);
    if (child.outcome == ChildRun::STOPPED) {
      result.stopped = true;
      return result;
    }
    if (child.outcome == ChildRun::ENDED && WIFEXITED(child.status) &&
        WEXITSTATUS(child.status) == 0 && ReadBack(child.report, result)) {
      return result;
    }
    int measure = 0, kernel = -1;
    size_t placement = 0;
    const bool named = beacon.LastCell(measure, kernel, placement);
    if (!named || kernel < 0 || kernels[static_cast<size_t>(kernel)].table_row >= 0) {
      // Only a user's kernel can be left out; anything else is this program's own failure.
      result.error = "the measuring process " +
                     (child.outcome == ChildRun::ENDED        ? DescribeWaitStatus(child.status)
                      : child.outcome == ChildRun::WENT_QUIET ? "went silent"
                                                              : "failed: " + child.failure);
      return result;
    }
    const std::string& name = kernels[static_cast<size_t>(kernel)].name;
    left_out.push_back(name + ": " + WhatHappened(child, MEASURE_NAMES[measure], placement));
    kernels.erase(kernels.begin() + kernel);
  }
}

}  // namespace stats
