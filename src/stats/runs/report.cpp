#include "stats/runs/report.h"

#include <charconv>
#include <optional>
#include <vector>

namespace stats {

namespace {

constexpr std::string_view CR_LF = "\r\n";

std::string WithoutLineEnd(std::string_view text) {
  if (text.size() >= CR_LF.size() && text.substr(text.size() - CR_LF.size()) == CR_LF) {
    text.remove_suffix(CR_LF.size());
  }
  return std::string(text);
}

// The number of a result line: "0" or an optional '-' and digits without a leading zero.
std::optional<int32_t> ParseNetMs(std::string_view digits) {
  const std::string_view unsigned_part = digits.substr(digits.rfind('-', 0) == 0 ? 1 : 0);
  if (unsigned_part.empty() || (unsigned_part[0] == '0' && digits.size() != 1)) return {};
  int32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return {};
  return value;
}

// What each line of a report must be: a fixed text, or a number followed by a label.
struct LineForm {
  std::string text;       // the fixed text, or the label's words
  bool numbered = false;  // a number, one space, then `text`
  int32_t* value = nullptr;
};

std::vector<LineForm> ReportForm(Report& report) {
  std::vector<LineForm> form = {
      {BASELINE_RULE_TEXT},
      {BASELINE_TITLE_TEXT},
      {BASELINE_RULE_TEXT},
      {WithoutLineEnd(EMPTY_PROCEDURE_LABEL + 1), true, &report.baseline_ms}};
  for (Pass pass : {POSITIVE, NEGATIVE}) {
    form.push_back({PASS_RULE_TEXT});
    form.push_back({pass == POSITIVE ? POSITIVE_PASS_TITLE : NEGATIVE_PASS_TITLE});
    form.push_back({PASS_RULE_TEXT});
    for (int kernel = 0; kernel < KERNEL_COUNT; ++kernel) {
      form.push_back({KernelWords(kernel), true, &report.net_ms[pass][kernel]});
    }
  }
  form.push_back({PROMPT_TEXT});
  return form;
}

}  // namespace

std::string KernelWords(int kernel) { return WithoutLineEnd(KernelTable[kernel].label + 1); }

std::string KernelName(int kernel) {
  const std::string words = KernelWords(kernel);
  return words.substr(0, words.find(' '));
}

std::variant<Report, ParseError> ParseReport(std::string_view bytes) {
  Report report;
  const std::vector<LineForm> form = ReportForm(report);
  int line_number = 0;
  // Git, editors and pastes turn CR LF into LF; such a copy is read alike, if it was turned whole.
  const size_t first_line_feed = bytes.find('\n');
  const bool ends_with_cr_lf = first_line_feed == std::string_view::npos ||
                               (first_line_feed > 0 && bytes[first_line_feed - 1] == '\r');
  for (const LineForm& expected : form) {
    ++line_number;
    const size_t line_feed = bytes.find('\n');
    const std::string_view raw = bytes.substr(0, line_feed);
    if (bytes.empty()) {
      return ParseError{line_number, "",
                        "the report ends here; expected \"" + expected.text + "\""};
    }
    if (line_feed == std::string_view::npos) {
      return ParseError{line_number, std::string(raw), "the line has no CR LF at its end"};
    }
    const bool cr_lf = !raw.empty() && raw.back() == '\r';
    if (cr_lf != ends_with_cr_lf) {
      return ParseError{line_number, std::string(raw),
                        cr_lf ? "the line ends with CR LF, where the report's first ends with LF"
                              : "the line ends with LF alone, where the report's first ends "
                                "with CR LF"};
    }
    const std::string_view line = raw.substr(0, raw.size() - (cr_lf ? 1 : 0));
    bytes.remove_prefix(line_feed + 1);
    if (!expected.numbered) {
      if (line != expected.text) {
        return ParseError{line_number, std::string(line), "expected \"" + expected.text + "\""};
      }
      continue;
    }
    const size_t space = line.find(' ');
    const std::optional<int32_t> value =
        space == std::string_view::npos ? std::nullopt : ParseNetMs(line.substr(0, space));
    if (!value || line.substr(space + 1) != expected.text) {
      return ParseError{line_number, std::string(line),
                        "expected a whole number in milliseconds, then \" " + expected.text + "\""};
    }
    *expected.value = *value;
  }
  if (!bytes.empty()) {
    return ParseError{line_number + 1, std::string(bytes.substr(0, bytes.find('\n'))),
                      "unexpected text after the closing prompt"};
  }
  return report;
}

}  // namespace stats
