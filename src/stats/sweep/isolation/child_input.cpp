#include "stats/sweep/isolation/child_input.h"

#include <cstring>

namespace stats {

void InputWriter::Number(uint64_t value) {
  char bytes[sizeof value];
  std::memcpy(bytes, &value, sizeof value);
  bytes_.append(bytes, sizeof value);
}

void InputWriter::Real(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  Number(bits);
}

void InputWriter::Text(const std::string& text) {
  Number(text.size());
  bytes_ += text;
}

void InputWriter::Bytes(const std::vector<uint8_t>& bytes) {
  Text(std::string(bytes.begin(), bytes.end()));
}

void InputWriter::Kernel(const Procedure& kernel) {
  Text(kernel.name);
  Text(kernel.words);
  Bytes(kernel.bytes);
  Number(static_cast<uint64_t>(static_cast<int64_t>(kernel.table_row)));
  Number(static_cast<uint64_t>(kernel.result));
  Text(kernel.inline_refusal);
  Text(kernel.assembly);
  Number(static_cast<uint64_t>(kernel.origin));
}

void InputWriter::Kernels(const std::vector<Procedure>& kernels) {
  Number(kernels.size());
  for (const Procedure& kernel : kernels) Kernel(kernel);
}

void InputWriter::Settings(const SweepSettings& settings) {
  Number(settings.measures.size());
  for (SweepMeasure measure : settings.measures) Number(static_cast<uint64_t>(measure));
  Number(settings.calls);
  Number(settings.rounds);
  Real(settings.precision_cycles);
  Real(settings.seconds);
  Number(settings.seed);
  Number(static_cast<uint64_t>(static_cast<int64_t>(settings.cpu)));
  Number(settings.measures_before);
  Real(settings.seconds_before);
}

uint64_t InputReader::Number() {
  uint64_t value = 0;
  if (!good_ || bytes_.size() - at_ < sizeof value) {
    good_ = false;
    return 0;
  }
  std::memcpy(&value, bytes_.data() + at_, sizeof value);
  at_ += sizeof value;
  return value;
}

uint64_t InputReader::Below(uint64_t bound) {
  const uint64_t value = Number();
  if (value < bound) return value;
  good_ = false;
  return 0;
}

double InputReader::Real() {
  const uint64_t bits = Number();
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string InputReader::Text() {
  const uint64_t length = Number();
  if (!good_ || bytes_.size() - at_ < length) {
    good_ = false;
    return "";
  }
  std::string text = bytes_.substr(at_, length);
  at_ += length;
  return text;
}

std::vector<uint8_t> InputReader::Bytes() {
  const std::string text = Text();
  return {text.begin(), text.end()};
}

Procedure InputReader::Kernel() {
  Procedure kernel;
  kernel.name = Text();
  kernel.words = Text();
  kernel.bytes = Bytes();
  kernel.table_row = static_cast<int>(static_cast<int64_t>(Number()));
  kernel.result = static_cast<ResultRegister>(Below(2));
  kernel.inline_refusal = Text();
  kernel.assembly = Text();
  kernel.origin = static_cast<Procedure::Origin>(Below(3));
  return kernel;
}

std::vector<Procedure> InputReader::Kernels() {
  std::vector<Procedure> kernels(Below(1 << 16));
  for (Procedure& kernel : kernels) kernel = Kernel();
  return kernels;
}

SweepSettings InputReader::Settings() {
  SweepSettings settings;
  settings.measures.resize(Below(MEASURE_NAMES.size() + 1));
  for (SweepMeasure& measure : settings.measures)
    measure = static_cast<SweepMeasure>(Below(MEASURE_NAMES.size()));
  settings.calls = static_cast<uint32_t>(Below(uint64_t{1} << 32));
  settings.rounds = static_cast<uint32_t>(Below(uint64_t{1} << 32));
  settings.precision_cycles = Real();
  settings.seconds = Real();
  settings.seed = Number();
  settings.cpu = static_cast<int>(static_cast<int64_t>(Number()));
  settings.measures_before = Number();
  settings.seconds_before = Real();
  return settings;
}

}  // namespace stats
