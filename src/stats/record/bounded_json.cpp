#include "stats/record/bounded_json.h"

#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "stats/text/format.h"

namespace stats {

namespace {

using ScannedJson = nlohmann::json;

// Counts as the parser goes, and stops it at the first bound passed.
class BoundsCheck : public nlohmann::json_sax<ScannedJson> {
 public:
  BoundsCheck(const JsonBounds& bounds, size_t length) : bounds_(bounds), length_(length) {}
  const std::string& problem() const { return problem_; }

  bool null() override { return Value(); }
  bool boolean(bool) override { return Value(); }
  bool number_integer(number_integer_t) override { return Value(); }
  bool number_unsigned(number_unsigned_t) override { return Value(); }
  bool number_float(number_float_t, const string_t&) override { return Value(); }
  bool string(string_t& text) override { return Text(text.size()) && Value(); }
  bool binary(binary_t&) override { return Refuse("binary data, which JSON text never holds"); }
  bool start_object(std::size_t) override { return Value() && Open(true); }
  bool key(string_t& name) override {
    // A second value of one field would be read by some tools and passed over by others.
    if (!keys_.back().insert(name).second) return Refuse("a field given twice: " + Shown(name));
    if (++open_.back() > bounds_.fields) {
      return Refuse("an object of more than " + std::to_string(bounds_.fields) +
                    " fields, far more than a result record's");
    }
    return Text(name.size());
  }
  bool end_object() override { return Close(); }
  bool start_array(std::size_t) override { return Value() && Open(false); }
  bool end_array() override { return Close(); }
  bool parse_error(std::size_t byte, const std::string&,
                   const nlohmann::detail::exception& error) override {
    constexpr int NUMBER_OVERFLOW = 406;
    if (error.id == NUMBER_OVERFLOW) return Refuse("a number too large for any figure");
    return Refuse(byte >= length_ ? "not whole: the JSON ends early"
                                  : "not JSON (at byte " + std::to_string(byte) + ")");
  }

 private:
  // One more value, and one more item of the array it stands in.
  bool Value() {
    if (++values_ > bounds_.values) {
      return Refuse("more than " + std::to_string(bounds_.values) +
                    " values, far more than a result record's");
    }
    if (!open_.empty() && !in_object_.back() && ++open_.back() > bounds_.items) {
      return Refuse("a list of more than " + std::to_string(bounds_.items) +
                    " items, far more than a result record's");
    }
    return true;
  }
  bool Open(bool object) {
    if (open_.size() >= bounds_.depth) {
      return Refuse("nested deeper than a result record (" + std::to_string(bounds_.depth) +
                    " levels)");
    }
    open_.push_back(0);
    in_object_.push_back(object);
    if (object) keys_.emplace_back();
    return true;
  }
  bool Close() {
    if (in_object_.back()) keys_.pop_back();
    open_.pop_back();
    in_object_.pop_back();
    return true;
  }
  bool Text(size_t bytes) {
    text_bytes_ += bytes;
    if (text_bytes_ <= bounds_.text_bytes) return true;
    return Refuse("more than " + std::to_string(bounds_.text_bytes >> 20) +
                  " MiB of text, far more than a result record's");
  }
  bool Refuse(const std::string& problem) {
    if (problem_.empty()) problem_ = problem;
    return false;
  }

  const JsonBounds& bounds_;
  size_t length_;
  std::vector<size_t> open_;                 // fields or items so far of each object or array open
  std::vector<bool> in_object_;              // whether each is an object
  std::vector<std::set<std::string>> keys_;  // the fields so far of each object open
  size_t values_ = 0, text_bytes_ = 0;
  std::string problem_;
};

}  // namespace

std::string CheckJsonBounds(const std::string& text, const JsonBounds& bounds) {
  BoundsCheck check(bounds, text.size());
  ScannedJson::sax_parse(text, &check);
  return check.problem();
}

}  // namespace stats
