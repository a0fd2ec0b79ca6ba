// Reading validates every field, so that a comparison never rests on a value it guessed, and
// bounds what a file can make it do: its size, its nesting, its counts.
#include <set>

#include "stats/record/bounded_json.h"
#include "stats/record/field_names.h"
#include "stats/record/result_json.h"
#include "stats/record/result_json_field.h"
#include "stats/system/files.h"

namespace stats {

namespace {

// The version "MAJOR.MINOR" this program reads, or the refusal.
void ReadVersion(const RecordField& field, ResultRecord& record) {
  const std::string version = field.Text();
  const size_t point = version.find('.');
  const auto digits = [](const std::string& text) {
    return !text.empty() && text.size() < 6 &&
           text.find_first_not_of("0123456789") == std::string::npos;
  };
  if (point == std::string::npos || !digits(version.substr(0, point)) ||
      !digits(version.substr(point + 1))) {
    field.Refuse("not MAJOR.MINOR, but " + Quoted(version));
  }
  record.schema_major = std::stoi(version.substr(0, point));
  record.schema_minor = std::stoi(version.substr(point + 1));
  if (record.schema_major != RESULT_SCHEMA_MAJOR) {
    throw RecordRefusal{"schema version " + version + "; this absbench-stats reads " +
                        std::to_string(RESULT_SCHEMA_MAJOR) + ".x"};
  }
}

void ReadMachine(const RecordField& machine, RecordMachine& read) {
  read.vendor = machine[field_name::VENDOR].Text();
  read.family = static_cast<int>(machine[field_name::FAMILY].Whole(0xffff));
  read.model = static_cast<int>(machine[field_name::MODEL].Whole(0xffff));
  read.stepping = static_cast<int>(machine[field_name::STEPPING].Whole(0xff));
  read.brand = machine[field_name::BRAND].Text();
  read.microarchitecture = machine[field_name::MICROARCHITECTURE].Text();
  read.logical_cpus = static_cast<int>(machine[field_name::LOGICAL_CPUS].Whole(1 << 20));
  read.hypervisor = machine[field_name::HYPERVISOR].Flag();
  read.kernel_release = machine[field_name::KERNEL_RELEASE].Text();
  read.pinned_cpu = static_cast<int>(machine[field_name::PINNED_CPU].Whole(1 << 20));
  read.priority_raise_allowed = machine[field_name::PRIORITY_RAISE_ALLOWED].Flag();
}

// Each measure once.
std::string ReadMeasureName(const RecordField& field, std::set<std::string>& seen) {
  std::string name = field.OneOf(MEASURE_NAMES);
  if (!seen.insert(name).second) field.Refuse("a measure given twice");
  return name;
}

ResultRecord ReadRecord(const ReadJson& json) {
  const RecordField top(json, "");
  if (!top.Has(field_name::SCHEMA))
    throw RecordRefusal{"JSON, but not an absbench result (no \"schema\" field)"};
  ResultRecord record;
  record.schema = top[field_name::SCHEMA].Text();
  if (record.schema != RESULT_SCHEMA) {
    throw RecordRefusal{"not an absbench result: its schema is " + Quoted(record.schema)};
  }
  ReadVersion(top[field_name::SCHEMA_VERSION], record);
  record.program_version = top[field_name::PROGRAM_VERSION].Text();
  record.date_utc = top[field_name::DATE_UTC].Text();
  ReadMachine(top[field_name::MACHINE], record.machine);
  const RecordField settings = top[field_name::SETTINGS];
  std::set<std::string> asked, measured;
  for (const RecordField& item : settings[field_name::MEASURES].Items(MEASURE_NAMES.size())) {
    record.settings.measures.push_back(ReadMeasureName(item, asked));
  }
  record.settings.precision_cycles = settings[field_name::PRECISION_CYCLES].NotNegative();
  record.settings.seconds = settings[field_name::SECONDS].NotNegative();
  record.settings.rounds = static_cast<uint32_t>(settings[field_name::ROUNDS].Whole(UINT32_MAX));
  record.settings.calls = static_cast<uint32_t>(settings[field_name::CALLS].Whole(UINT32_MAX));
  record.settings.seed = settings[field_name::SEED].Whole(UINT64_MAX);
  record.slowest_clock_ghz = top[field_name::CLOCK_GHZ][field_name::SLOWEST].NotNegative();
  record.fastest_clock_ghz = top[field_name::CLOCK_GHZ][field_name::FASTEST].NotNegative();
  for (const RecordField& item : top[field_name::MEASURES].Items(MEASURE_NAMES.size())) {
    RecordMeasure& measure = record.measures.emplace_back();
    measure.measure = ReadMeasureName(item[field_name::MEASURE], measured);
    measure.end = item[field_name::END].OneOf({"precise", "time_up", "rounds_done"});
    if (record.schema_minor >= 1) measure.waited = item[field_name::WAITED].Flag();
    measure.rounds = static_cast<uint32_t>(item[field_name::ROUNDS].Whole(UINT32_MAX));
    measure.noise_floor_cycles = item[field_name::NOISE_FLOOR_CYCLES].NotNegative();
    measure.chunk_length = static_cast<uint32_t>(item[field_name::CHUNK_LENGTH].Whole(UINT32_MAX));
    measure.placements = item[field_name::PLACEMENTS].Whole(RESULT_MOST_PLACEMENTS);
    if (measure.placements == 0) item[field_name::PLACEMENTS].Refuse("none");
    if (record.schema_minor >= 1) {
      measure.slowest_clock_ghz = item[field_name::CLOCK_GHZ][field_name::SLOWEST].NotNegative();
      measure.fastest_clock_ghz = item[field_name::CLOCK_GHZ][field_name::FASTEST].NotNegative();
    }
  }
  record.kernels = ReadRecordKernels(top[field_name::KERNELS], record);
  if (record.schema_minor >= 3) record.containment = top[field_name::CONTAINMENT].Text();
  // A kernel left out of the sweep, or of each measure.
  for (const RecordField& item : top[field_name::LEFT_OUT].Items(4 * RESULT_MOST_KERNELS)) {
    record.left_out.push_back(item.Text());
  }
  return record;
}

}  // namespace

std::variant<ResultRecord, std::string> ResultFromJson(const std::string& text) {
  if (text.rfind("pass,kernel,", 0) == 0) {
    return std::string("a sweep's CSV, not its --json record");
  }
  // Held to a record's shape first, as it is scanned, then built.
  if (const std::string problem = CheckJsonBounds(text, JsonBounds{}); !problem.empty()) {
    return problem;
  }
  try {
    return ReadRecord(ReadJson::parse(text));
  } catch (const RecordRefusal& refusal) {
    return refusal.why;
  } catch (const ReadJson::parse_error& error) {
    if (error.byte >= text.size()) return std::string("not whole: the JSON ends early");
    return "not JSON (at byte " + std::to_string(error.byte) + ")";
  } catch (const ReadJson::out_of_range&) {
    return std::string("a number too large for any figure");
  } catch (const ReadJson::exception& error) {
    return "not readable as JSON (error " + std::to_string(error.id) + ")";
  }
}

std::variant<ResultRecord, std::string> ReadResultFile(const std::string& path) {
  const BoundedRead read = ReadBounded(path, RESULT_FILE_BOUND);
  if (read.outcome == BoundedRead::FAILED) return path + ": cannot read: " + read.error;
  if (read.outcome == BoundedRead::TOO_LARGE) {
    return path + ": larger than 16 MiB, far above any result record";
  }
  auto parsed = ResultFromJson(read.bytes);
  if (const auto* problem = std::get_if<std::string>(&parsed)) return path + ": " + *problem;
  return parsed;
}

}  // namespace stats
