#include "stats/system/command_line.h"

#include <getopt.h>

namespace stats {

ScannedLine ScanCommandLine(const std::vector<std::string>& arguments,
                            const std::vector<LongOption>& long_options,
                            const char* short_options) {
  std::vector<option> options;
  for (const LongOption& given : long_options)
    options.push_back(
        {given.name, given.takes_value ? required_argument : no_argument, nullptr, given.key});
  options.push_back({nullptr, 0, nullptr, 0});
  std::vector<std::string> words = {"absbench-stats"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());
  // ':' first: a missing value is told apart from an unknown option.
  const std::string shorts = std::string(":") + short_options;

  ScannedLine line;
  optind = 0;  // a fresh scan, however often this is called
  opterr = 0;
  int key;
  while ((key = getopt_long(argc, argv.data(), shorts.c_str(), options.data(), nullptr)) != -1) {
    if (key == ':') {
      line.options.push_back({NEEDS_A_VALUE, argv[optind - 1]});
      return line;
    }
    if (key == '?') {
      line.options.push_back({UNKNOWN_OPTION, optopt != 0
                                                  ? std::string("-") + static_cast<char>(optopt)
                                                  : std::string(argv[optind - 1])});
      return line;
    }
    line.options.push_back({key, optarg != nullptr ? optarg : ""});
  }
  line.operands.assign(argv.begin() + optind, argv.end() - 1);
  return line;
}

}  // namespace stats
