// The command line scanned as the system's own tools scan theirs: options and operands in any
// order, a long option abbreviated while the abbreviation is unique, --name=value or --name value,
// and "--" ending the options.
#pragma once

#include <string>
#include <vector>

namespace stats {

struct LongOption {
  const char* name;
  bool takes_value;
  int key;
};

// The keys of the problem that ends a scan; its value is the word at fault.
constexpr int NEEDS_A_VALUE = ':', UNKNOWN_OPTION = '?';

struct ScannedOption {
  int key = 0;
  std::string value;  // its value, or the word at fault
};

struct ScannedLine {
  std::vector<ScannedOption> options;  // in the order given, up to the first problem
  std::vector<std::string> operands;
};

// `arguments` without the program's name; `short_options` as getopt has them ("n:").
ScannedLine ScanCommandLine(const std::vector<std::string>& arguments,
                            const std::vector<LongOption>& long_options, const char* short_options);

}  // namespace stats
