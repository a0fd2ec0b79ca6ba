// What the sweep hands a child process as its input: kernels, settings and numbers written as
// bytes and read back strictly, since a child shares nothing else with its parent.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "stats/measure.h"
#include "stats/sweep/estimate/procedure.h"

namespace stats {

class InputWriter {
 public:
  void Number(uint64_t value);
  void Real(double value);
  void Text(const std::string& text);
  void Bytes(const std::vector<uint8_t>& bytes);
  void Kernel(const Procedure& kernel);
  void Kernels(const std::vector<Procedure>& kernels);
  void Settings(const SweepSettings& settings);
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// Each read past the end, or of a count beyond what is left, gives zero or empty and marks the
// input bad; whole() says whether it was all read, exactly.
class InputReader {
 public:
  // Keeps its own copy: the input is small, and no caller's string need outlive it.
  explicit InputReader(std::string bytes) : bytes_(std::move(bytes)) {}
  uint64_t Number();
  // A number that must be below `bound`: at or past it, the input is bad.
  uint64_t Below(uint64_t bound);
  double Real();
  std::string Text();
  std::vector<uint8_t> Bytes();
  Procedure Kernel();
  std::vector<Procedure> Kernels();
  SweepSettings Settings();
  bool whole() const { return good_ && at_ == bytes_.size(); }

 private:
  const std::string bytes_;
  size_t at_ = 0;
  bool good_ = true;
};

}  // namespace stats
