// Reading validates every field, so that a comparison never rests on a value it guessed.
#include <nlohmann/json.hpp>

#include "stats/format.h"
#include "stats/result_json.h"
#include "stats/system/files.h"

namespace stats {

namespace {

using Json = nlohmann::ordered_json;

// A refusal while reading: where in the record, and what is wrong there.
struct Refusal {
  std::string why;
};

// A value of the record with its place, for refusals that say where.
class Field {
 public:
  Field(const Json& value, std::string where) : value_(value), where_(std::move(where)) {}

  Field operator[](const char* key) const {
    if (!value_.is_object()) Refuse("not an object");
    const auto found = value_.find(key);
    const std::string inner = where_.empty() ? key : where_ + "." + key;
    if (found == value_.end()) throw Refusal{inner + ": missing"};
    return Field(*found, inner);
  }
  std::vector<Field> Items() const {
    if (!value_.is_array()) Refuse("not a list");
    std::vector<Field> items;
    for (size_t at = 0; at < value_.size(); ++at) {
      items.emplace_back(value_[at], where_ + "[" + std::to_string(at) + "]");
    }
    return items;
  }
  std::string Text() const {
    if (!value_.is_string()) Refuse("not a text");
    return value_.get<std::string>();
  }
  std::string OneOf(std::initializer_list<const char*> allowed) const {
    const std::string text = Text();
    for (const char* name : allowed) {
      if (text == name) return text;
    }
    Refuse("unknown value " + Quoted(text));
  }
  double Number() const {
    if (!value_.is_number()) Refuse("not a number");
    return value_.get<double>();
  }
  uint64_t Whole(uint64_t most) const {
    if (!value_.is_number_unsigned() || value_.get<uint64_t>() > most) {
      Refuse("not a whole number up to " + std::to_string(most));
    }
    return value_.get<uint64_t>();
  }
  bool Flag() const {
    if (!value_.is_boolean()) Refuse("not true or false");
    return value_.get<bool>();
  }
  bool IsNull() const { return value_.is_null(); }
  [[noreturn]] void Refuse(const std::string& why) const { throw Refusal{where_ + ": " + why}; }

 private:
  const Json& value_;
  std::string where_;
};

constexpr std::initializer_list<const char*> MEASURES = {"call", "latency", "throughput"};

RecordFigure ReadFigure(const Field& field, const std::vector<RecordMeasure>& measures) {
  RecordFigure figure;
  figure.measure = field["measure"].OneOf(MEASURES);
  figure.pass = field["pass"].OneOf({"positive", "negative"});
  size_t placements = 0;
  for (const RecordMeasure& measure : measures) {
    if (measure.measure == figure.measure) placements = measure.placements;
  }
  if (placements == 0) field["measure"].Refuse("a measure the record's measures do not list");
  figure.median_cycles = field["median_cycles"].Number();
  figure.uncertainty_cycles = field["uncertainty_cycles"].Number();
  if (figure.uncertainty_cycles < 0) field["uncertainty_cycles"].Refuse("below zero");
  figure.iqr_cycles = field["iqr_cycles"].Number();
  figure.share_away = field["share_away"].Number();
  figure.layout_sensitive = field["layout_sensitive"].Flag();
  if (!field["predicted_cycles"].IsNull()) {
    figure.predicted_cycles = field["predicted_cycles"].Number();
    figure.model = field["model"].Text();
  }
  for (const Field& item : field["cells"].Items()) {
    RecordCell& cell = figure.cells.emplace_back();
    cell.placement = item["placement"].Whole(placements - 1);
    cell.loop_offset = static_cast<int>(item["loop_offset"].Whole(63));
    cell.kernel_offset = static_cast<int>(item["kernel_offset"].Whole(63));
    cell.net_cycles = item["net_cycles"].Number();
    cell.first_half_cycles = item["first_half_cycles"].Number();
    cell.second_half_cycles = item["second_half_cycles"].Number();
  }
  return figure;
}

RecordKernel ReadKernel(const Field& field, const std::vector<RecordMeasure>& measures) {
  RecordKernel kernel;
  kernel.name = field["name"].Text();
  if (kernel.name.empty()) field["name"].Refuse("empty");
  kernel.bytes_hex = field["bytes"].Text();
  if (kernel.bytes_hex.size() % 2 != 0 ||
      kernel.bytes_hex.find_first_not_of("0123456789abcdef") != std::string::npos) {
    field["bytes"].Refuse("not lower-case hex bytes");
  }
  kernel.assembly = field["assembly"].Text();
  for (const Field& item : field["figures"].Items()) {
    kernel.figures.push_back(ReadFigure(item, measures));
  }
  return kernel;
}

// The version "MAJOR.MINOR" this program reads, or the refusal.
void ReadVersion(const Field& field, ResultRecord& record) {
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
    throw Refusal{"schema version " + version + "; this absbench-stats reads " +
                  std::to_string(RESULT_SCHEMA_MAJOR) + ".x"};
  }
}

ResultRecord ReadRecord(const Json& json) {
  const Field top(json, "");
  if (!json.is_object() || !json.contains("schema")) {
    throw Refusal{"JSON, but not an absbench result (no \"schema\" field)"};
  }
  ResultRecord record;
  record.schema = top["schema"].Text();
  if (record.schema != RESULT_SCHEMA) {
    throw Refusal{"not an absbench result: its schema is " + Quoted(record.schema)};
  }
  ReadVersion(top["schema_version"], record);
  record.program_version = top["program_version"].Text();
  record.date_utc = top["date_utc"].Text();
  const Field machine = top["machine"];
  record.machine.vendor = machine["vendor"].Text();
  record.machine.family = static_cast<int>(machine["family"].Whole(0xffff));
  record.machine.model = static_cast<int>(machine["model"].Whole(0xffff));
  record.machine.stepping = static_cast<int>(machine["stepping"].Whole(0xff));
  record.machine.brand = machine["brand"].Text();
  record.machine.microarchitecture = machine["microarchitecture"].Text();
  record.machine.logical_cpus = static_cast<int>(machine["logical_cpus"].Whole(1 << 20));
  record.machine.hypervisor = machine["hypervisor"].Flag();
  record.machine.kernel_release = machine["kernel_release"].Text();
  record.machine.pinned_cpu = static_cast<int>(machine["pinned_cpu"].Whole(1 << 20));
  record.machine.priority_raise_allowed = machine["priority_raise_allowed"].Flag();
  const Field settings = top["settings"];
  for (const Field& item : settings["measures"].Items()) {
    record.settings.measures.push_back(item.OneOf(MEASURES));
  }
  record.settings.precision_cycles = settings["precision_cycles"].Number();
  record.settings.seconds = settings["seconds"].Number();
  record.settings.rounds = static_cast<uint32_t>(settings["rounds"].Whole(UINT32_MAX));
  record.settings.calls = static_cast<uint32_t>(settings["calls"].Whole(UINT32_MAX));
  record.settings.seed = settings["seed"].Whole(UINT64_MAX);
  record.slowest_clock_ghz = top["clock_ghz"]["slowest"].Number();
  record.fastest_clock_ghz = top["clock_ghz"]["fastest"].Number();
  for (const Field& item : top["measures"].Items()) {
    RecordMeasure& measure = record.measures.emplace_back();
    measure.measure = item["measure"].OneOf(MEASURES);
    measure.end = item["end"].OneOf({"precise", "time_up", "rounds_done"});
    measure.rounds = static_cast<uint32_t>(item["rounds"].Whole(UINT32_MAX));
    measure.noise_floor_cycles = item["noise_floor_cycles"].Number();
    measure.chunk_length = static_cast<uint32_t>(item["chunk_length"].Whole(UINT32_MAX));
    measure.placements = item["placements"].Whole(1 << 20);
    if (measure.placements == 0) item["placements"].Refuse("none");
  }
  for (const Field& item : top["kernels"].Items()) {
    record.kernels.push_back(ReadKernel(item, record.measures));
  }
  for (const Field& item : top["left_out"].Items()) record.left_out.push_back(item.Text());
  return record;
}

}  // namespace

std::variant<ResultRecord, std::string> ResultFromJson(const std::string& text) {
  if (text.rfind("pass,kernel,", 0) == 0) {
    return std::string("a sweep's CSV, not its --json record");
  }
  Json json;
  try {
    json = Json::parse(text);
  } catch (const Json::parse_error& error) {
    if (error.byte >= text.size()) return std::string("not whole: the JSON ends early");
    return "not JSON (at byte " + std::to_string(error.byte) + ")";
  }
  try {
    return ReadRecord(json);
  } catch (const Refusal& refusal) {
    return refusal.why;
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
