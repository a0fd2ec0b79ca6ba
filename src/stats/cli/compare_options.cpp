// --compare reads files that sweeps wrote and measures nothing, so it takes none of the other
// commands' options: each is refused by name rather than ignored.
#include "stats/cli/options.h"
#include "stats/text/format.h"

namespace stats {

Command ParseCompareLine(const std::vector<std::string>& arguments) {
  CompareOptions compare;
  bool only_files = false;
  for (size_t at = 0; at < arguments.size(); ++at) {
    const std::string& word = arguments[at];
    if (only_files || word.empty() || word[0] != '-' || word == "-") {
      compare.files.push_back(word);
      continue;
    }
    const size_t equals = word.find('=');
    const std::string option = word.substr(0, equals);
    const bool takes_file = option == "--csv" || option == "--svg";
    std::string value;
    if (takes_file && equals != std::string::npos) {
      value = word.substr(equals + 1);
    } else if (takes_file && at + 1 < arguments.size()) {
      value = arguments[++at];
    } else if (takes_file) {
      return UsageError{"option " + Quoted(word, '\'') + " needs a value"};
    }
    if (word == "--") {
      only_files = true;
    } else if (word == "--help") {
      return HelpRequest{};
    } else if (word == "--compare") {
      continue;
    } else if (word == "--markdown") {
      compare.markdown = true;
    } else if (option == "--csv") {
      compare.csv_path = value;
    } else if (option == "--svg") {
      compare.svg_path = value;
    } else {
      return UsageError{Quoted(word, '\'') +
                        " does not go with --compare, which takes --markdown, --csv FILE, "
                        "--svg FILE and the files"};
    }
  }
  if (compare.files.size() < 2) {
    return UsageError{"--compare needs two result files or more (from --sweep --json FILE)"};
  }
  return compare;
}

}  // namespace stats
