// The comparison as tables for a terminal or for Markdown, and as CSV.
#include "stats/compare/tables.h"

#include <algorithm>
#include <sstream>
#include <string_view>

#include "stats/pass.h"
#include "stats/text/format.h"

namespace stats {

namespace {

std::string Heading(const ComparedTable& table) {
  const int32_t operand = PASS_OPERANDS[table.pass == PASS_NAMES[POSITIVE] ? POSITIVE : NEGATIVE];
  return table.measure + ", " + table.pass + " pass (operand " + std::to_string(operand) + ")";
}

// "1.23", or after the baseline "1.25 +0.02 same", with a star where the code differs; `columns`
// pads the parts so that a terminal's cells line up.
std::string CellText(const ComparedCell& cell, bool columns) {
  const bool present = cell.verdict != Verdict::MISSING;
  const bool judged = present && cell.verdict != Verdict::BASELINE;
  const std::string first = present ? Fixed(cell.median, 2) : "missing";
  const std::string difference =
      judged && cell.verdict != Verdict::NO_BASELINE ? Signed(cell.difference, 2) : "";
  const std::string verdict =
      (judged ? std::string(VerdictName(cell.verdict)) : "") + (cell.code_differs ? " *" : "");
  if (columns && !judged) return Padded(first, 7, true) + verdict;
  if (columns) return Padded(first, 7, true) + Padded(difference, 8, true) + "  " + verdict;
  std::string text = first;
  for (const std::string& part : {difference, verdict}) {
    if (!part.empty()) text += (part == " *" ? "" : " ") + part;
  }
  return text;
}

std::string TrimmedLine(const std::string& line) {
  return line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
}

// Text of a table cell or a list item taken as it reads: a backslash, a '|' or a mark of
// emphasis, a link, code or HTML is escaped, and a line break (only in a file's name, as given) is
// a space, so that the row stays whole.
std::string MarkdownEscaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (std::string_view("\\|*_`<>[]&").find(c) != std::string_view::npos) escaped += '\\';
    escaped += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  }
  return escaped;
}

// A field of a CSV row, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

bool AnyCodeDiffers(const Comparison& comparison) {
  return std::any_of(comparison.notes.begin(), comparison.notes.end(), [](const std::string& n) {
    return n.find(": the code differs in ") != std::string::npos;
  });
}

}  // namespace

std::string FormatComparisonText(const Comparison& comparison) {
  std::ostringstream out;
  out << "absbench-stats --compare: " << comparison.files.size()
      << " files, the first the baseline; median core cycles over the placements\n";
  for (const std::string& detail : comparison.details) out << "  " << detail << "\n";
  out << "verdicts: " << VERDICT_RULE << "\n";
  for (const ComparedTable& table : comparison.tables) {
    size_t kernel_width = 8;
    for (const ComparedRow& row : table.rows) {
      kernel_width = std::max(kernel_width, row.kernel.size() + 2);
    }
    std::vector<std::string> headers;
    std::vector<size_t> widths;
    for (size_t file = 0; file < comparison.files.size(); ++file) {
      headers.push_back(comparison.machines[file] + " " + comparison.files[file]);
      size_t width = headers.back().size();
      for (const ComparedRow& row : table.rows) {
        width = std::max(width, CellText(row.cells[file], true).size());
      }
      widths.push_back(width);
    }
    std::string line = Padded("kernel", kernel_width, false);
    for (size_t file = 0; file < headers.size(); ++file) {
      line += "  " + Padded(headers[file], widths[file], false);
    }
    out << "\n" << Heading(table) << "\n" << TrimmedLine(line);
    for (const ComparedRow& row : table.rows) {
      line = Padded(row.kernel, kernel_width, false);
      for (size_t file = 0; file < row.cells.size(); ++file) {
        line += "  " + Padded(CellText(row.cells[file], true), widths[file], false);
      }
      out << TrimmedLine(line);
    }
  }
  if (!comparison.notes.empty()) out << "\nnotes:\n";
  if (AnyCodeDiffers(comparison)) out << "  *: the kernel's code differs from the baseline's\n";
  for (const std::string& note : comparison.notes) out << "  " << note << "\n";
  return out.str();
}

std::string FormatComparisonMarkdown(const Comparison& comparison) {
  std::ostringstream out;
  out << "## absbench-stats --compare\n\nMedian core cycles over the placements; the first file "
         "is the baseline. Verdicts: "
      << VERDICT_RULE << ".\n\n";
  for (const std::string& detail : comparison.details) {
    out << "- " << MarkdownEscaped(detail) << "\n";
  }
  for (const ComparedTable& table : comparison.tables) {
    out << "\n### " << Heading(table) << "\n\n| kernel |";
    for (size_t file = 0; file < comparison.files.size(); ++file) {
      out << " " << MarkdownEscaped(comparison.machines[file]) << "<br>"
          << MarkdownEscaped(comparison.files[file]) << " |";
    }
    out << "\n| --- |";
    for (size_t file = 0; file < comparison.files.size(); ++file) out << " ---: |";
    out << "\n";
    for (const ComparedRow& row : table.rows) {
      out << "| " << MarkdownEscaped(row.kernel) << " |";
      for (const ComparedCell& cell : row.cells) {
        out << " " << MarkdownEscaped(CellText(cell, false)) << " |";
      }
      out << "\n";
    }
  }
  if (!comparison.notes.empty()) out << "\n**Notes**\n\n";
  if (AnyCodeDiffers(comparison)) out << "- \\*: the kernel's code differs from the baseline's\n";
  for (const std::string& note : comparison.notes) out << "- " << MarkdownEscaped(note) << "\n";
  return out.str();
}

std::string FormatComparisonCsv(const Comparison& comparison) {
  std::ostringstream out;
  out << "measure,pass,kernel,file,machine,median_cycles,difference_cycles,verdict,"
         "uncertainty_cycles,code_differs\n";
  for (const ComparedTable& table : comparison.tables) {
    for (const ComparedRow& row : table.rows) {
      for (size_t file = 0; file < row.cells.size(); ++file) {
        const ComparedCell& cell = row.cells[file];
        const bool present = cell.verdict != Verdict::MISSING;
        const bool judged =
            present && cell.verdict != Verdict::BASELINE && cell.verdict != Verdict::NO_BASELINE;
        out << table.measure << "," << table.pass << "," << CsvField(row.kernel) << ","
            << CsvField(comparison.files[file]) << "," << CsvField(comparison.machines[file]) << ","
            << (present ? Fixed(cell.median, 4) : "") << ","
            << (judged ? Fixed(cell.difference, 4) : "") << "," << VerdictName(cell.verdict) << ","
            << (present ? Fixed(cell.uncertainty, 4) : "") << ","
            << (cell.code_differs ? "yes" : "no") << "\n";
      }
    }
  }
  return out.str();
}

}  // namespace stats
