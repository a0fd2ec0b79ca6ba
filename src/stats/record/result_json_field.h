// A value of a result record being read, with its place in the record, so that every refusal says
// where: "kernels[0].figures[1].median_cycles: missing". Shared by the readers of its parts.
#pragma once

#include <cmath>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "stats/math/figure_difference.h"
#include "stats/measure.h"
#include "stats/pass.h"
#include "stats/record/result_record.h"
#include "stats/text/format.h"

namespace stats {

// Read into plain JSON: its objects find a key in logarithmic time, whatever a file holds.
using ReadJson = nlohmann::json;

// A refusal while reading: where in the record, and what is wrong there.
struct RecordRefusal {
  std::string why;
};

class RecordField {
 public:
  RecordField(const ReadJson& value, std::string where) : value_(value), where_(std::move(where)) {}

  RecordField operator[](const char* key) const {
    if (!value_.is_object()) Refuse("not an object");
    const auto found = value_.find(key);
    const std::string inner = where_.empty() ? key : where_ + "." + key;
    if (found == value_.end()) throw RecordRefusal{inner + ": missing"};
    return RecordField(*found, inner);
  }
  bool Has(const char* key) const { return value_.is_object() && value_.contains(key); }
  // The items of a list of at most `most`.
  std::vector<RecordField> Items(size_t most) const {
    if (!value_.is_array()) Refuse("not a list");
    if (value_.size() > most) Refuse("more than " + std::to_string(most) + " items");
    std::vector<RecordField> items;
    for (size_t at = 0; at < value_.size(); ++at) {
      items.emplace_back(value_[at], where_ + "[" + std::to_string(at) + "]");
    }
    return items;
  }
  // A text of one line; with `lines`, of several.
  std::string Text(bool lines = false) const {
    if (!value_.is_string()) Refuse("not a text");
    const std::string& text = value_.get_ref<const std::string&>();
    // A text the writer would have shown as \xNN (a control character) is no record's.
    if (Shown(text, lines) != text) Refuse("a control character in the text");
    return text;
  }
  std::string OneOf(std::initializer_list<const char*> allowed) const {
    return OneOf<std::initializer_list<const char*>>(allowed);
  }
  // Of a list of names kept elsewhere, such as MEASURE_NAMES.
  template <typename Names>
  std::string OneOf(const Names& allowed) const {
    if (!value_.is_string()) Refuse("not a text");
    const std::string& text = value_.get_ref<const std::string&>();
    for (const char* name : allowed) {
      if (text == name) return text;
    }
    Refuse("unknown value " + Quoted(text));
  }
  double Number() const {
    if (!value_.is_number()) Refuse("not a number");
    const double number = value_.get<double>();
    if (!(std::abs(number) <= DIFFERENCE_LARGEST_CYCLES)) Refuse("out of range");
    return number;
  }
  // A number no sweep writes below zero (a floor, a spread, a clock).
  double NotNegative() const {
    const double number = Number();
    if (number < 0) Refuse("below zero");
    return number;
  }
  // A share, from 0 to 1.
  double Share() const {
    const double number = NotNegative();
    if (number > 1) Refuse("above 1");
    return number;
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
  [[noreturn]] void Refuse(const std::string& why) const {
    throw RecordRefusal{where_ + ": " + why};
  }

 private:
  const ReadJson& value_;
  std::string where_;
};

// The record's kernels, read against its measures and settings.
std::vector<RecordKernel> ReadRecordKernels(const RecordField& kernels, const ResultRecord& record);

}  // namespace stats
