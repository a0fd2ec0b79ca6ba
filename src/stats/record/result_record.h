// One run of the sweep as a record that travels: what machine made it, with what settings, and
// every figure with enough of its cells that another machine's run can be judged against it.
// Plain values only, so that every build of the companion reads and compares them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace stats {

constexpr const char RESULT_SCHEMA[] = "absbench-result";
// MAJOR.MINOR: a reader reads every minor of its major (they only add fields or change how a
// figure is estimated) and refuses any other major.
constexpr int RESULT_SCHEMA_MAJOR = 1;
constexpr int RESULT_SCHEMA_MINOR = 3;
// Far above the largest real record (a few MiB with many user kernels), so that a stray file
// is refused before it is read whole.
constexpr size_t RESULT_FILE_BOUND = 16 * 1024 * 1024;
// Far above any sweep too, so that a record's counts cannot make reading or comparing it slow.
constexpr size_t RESULT_MOST_KERNELS = 4096;
constexpr size_t RESULT_MOST_PLACEMENTS = 4096;

struct RecordMachine {
  std::string vendor;  // "AuthenticAMD"
  int family = 0, model = 0, stepping = 0;
  std::string brand;              // the processor's own brand string
  std::string microarchitecture;  // "Zen 4"; empty when not known
  int logical_cpus = 0;
  bool hypervisor = false;
  std::string kernel_release;
  int pinned_cpu = -1;
  bool priority_raise_allowed = false;
};

struct RecordSettings {
  std::vector<std::string> measures;  // in the order asked for
  double precision_cycles = 0;
  double seconds = 0;   // the time cap in force
  uint32_t rounds = 0;  // asked for; 0: until the precision was reached
  uint32_t calls = 0;   // asked for; 0: from a calibration
  uint64_t seed = 0;
};

struct RecordMeasure {
  std::string measure;
  std::string end;  // "precise", "time_up" or "rounds_done"
  uint32_t rounds = 0;
  double noise_floor_cycles = 0;
  uint32_t chunk_length = 0;
  size_t placements = 0;
  bool waited = false;  // went on past its usual time, waiting for quieter rounds; since 1.1
  double slowest_clock_ghz = 0, fastest_clock_ghz = 0;  // seen by its chains; since 1.1
};

struct RecordCell {
  size_t placement = 0;
  int loop_offset = 0, kernel_offset = 0;
  double net_cycles = 0, first_half_cycles = 0, second_half_cycles = 0;
};

// One kernel's figure in one measure and pass.
struct RecordFigure {
  std::string measure, pass;
  double median_cycles = 0;       // over the placements
  double uncertainty_cycles = 0;  // how far the median may be from its true value
  // The part of it more rounds make smaller: the halves' medians apart; since 1.2, and for an
  // older record the uncertainty it gives.
  double rounds_uncertainty_cycles = 0;
  double iqr_cycles = 0;
  double share_away = 0;  // of placements off the median in both halves alike, 0 to 1
  bool layout_sensitive = false;
  // Within the precision asked for, on a core of its own; for a 1.0 record, read as the
  // uncertainty within the precision.
  bool precise = false;
  bool shared_core = false;  // measured while this core's other thread was busy; since 1.1
  std::optional<double> predicted_cycles;  // with --predict, where the model made one
  std::string model;                       // the model's processor, with a prediction
  std::vector<RecordCell> cells;
};

struct RecordKernel {
  std::string name;
  std::string bytes_hex;  // as run, trailer included
  std::string assembly;   // the --kernel-asm text; empty for any other kernel
  std::vector<RecordFigure> figures;
};

struct ResultRecord {
  std::string schema = RESULT_SCHEMA;
  int schema_major = RESULT_SCHEMA_MAJOR, schema_minor = RESULT_SCHEMA_MINOR;
  std::string program_version;
  std::string date_utc;  // "2025-01-31T12:00:00Z"
  RecordMachine machine;
  RecordSettings settings;
  double slowest_clock_ghz = 0, fastest_clock_ghz = 0;  // over the whole sweep
  std::vector<RecordMeasure> measures;
  std::vector<RecordKernel> kernels;
  std::vector<std::string> left_out;  // "NAME: why"
  std::string containment;            // "system-call filter, process group, limits"; since 1.3
};

// The name a column of a comparison is headed by: the microarchitecture, else the brand string.
std::string MachineShortName(const RecordMachine& machine);

// The figure of `kernel` in `measure` and `pass`, or null.
const RecordFigure* FindFigure(const RecordKernel& kernel, const std::string& measure,
                               const std::string& pass);

}  // namespace stats
