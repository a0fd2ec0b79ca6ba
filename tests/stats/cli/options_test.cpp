// The command line as a value: every default, and every refusal with the words that say why.
#include "stats/cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Arguments = std::vector<std::string>;

TEST(ParseCommandLine, GivesTheSummaryOfFiveRunsOfTheBenchmarkBesideItByDefault) {
  const auto command = stats::ParseCommandLine({});
  const auto* summary = std::get_if<stats::SummaryOptions>(&command);
  ASSERT_NE(summary, nullptr);
  EXPECT_EQ(summary->runs, 5);
  EXPECT_EQ(summary->benchmark, "");
  EXPECT_TRUE(summary->reports.empty());
  EXPECT_EQ(summary->csv_path, "");
  EXPECT_EQ(summary->svg_path, "");
}

TEST(ParseCommandLine, TakesEverySummarySetting) {
  const auto from_runs =
      stats::ParseCommandLine({"-n", "3", "--benchmark", "/b", "--csv", "r.csv", "--svg=c.svg"});
  const auto& runs = std::get<stats::SummaryOptions>(from_runs);
  EXPECT_EQ(runs.runs, 3);
  EXPECT_EQ(runs.benchmark, "/b");
  EXPECT_EQ(runs.csv_path, "r.csv");
  EXPECT_EQ(runs.svg_path, "c.svg");
  const auto from_reports = stats::ParseCommandLine({"a.txt", "--csv", "x.csv", "b.txt"});
  EXPECT_EQ(std::get<stats::SummaryOptions>(from_reports).reports, (Arguments{"a.txt", "b.txt"}));
}

TEST(ParseCommandLine, GivesTheSweepItsDefaultsAndTakesEverySweepSetting) {
  const auto plain = stats::ParseCommandLine({"--sweep"});
  const auto& defaults = std::get<stats::SweepOptions>(plain);
  EXPECT_FALSE(defaults.fixed_layout_runs);
  EXPECT_EQ(defaults.benchmark, "");
  EXPECT_EQ(defaults.settings.seconds, 0) << "the cap follows from the measures unless given";
  EXPECT_EQ(defaults.settings.rounds, 0u) << "rounds go on until the precision is reached";
  EXPECT_EQ(defaults.settings.precision_cycles, 0.02);
  EXPECT_EQ(defaults.settings.calls, 0u) << "calls come from the calibration unless given";
  EXPECT_NE(defaults.settings.seed,
            std::get<stats::SweepOptions>(stats::ParseCommandLine({"--sweep"})).settings.seed)
      << "a seed of its own for each sweep";
  EXPECT_EQ(defaults.settings.cpu, -1) << "the processor it starts on";
  EXPECT_TRUE(defaults.user_kernels.empty());
  EXPECT_EQ(defaults.settings.measures,
            std::vector<stats::SweepMeasure>{stats::SweepMeasure::CALL});

  const auto full = stats::ParseCommandLine({"--sweep",
                                             "-n",
                                             "2",
                                             "--benchmark",
                                             "/b",
                                             "--seconds",
                                             "60",
                                             "--rounds",
                                             "20",
                                             "--seed",
                                             "18446744073709551615",
                                             "--cpu",
                                             "1",
                                             "--kernel",
                                             "a=90",
                                             "--kernel-asm",
                                             "b=nop",
                                             "--measure",
                                             "latency,call,latency",
                                             "--csv",
                                             "p.csv",
                                             "--svg",
                                             "p.svg"});
  const auto& sweep = std::get<stats::SweepOptions>(full);
  EXPECT_EQ(sweep.fixed_layout_runs, 2);
  EXPECT_EQ(sweep.benchmark, "/b");
  EXPECT_EQ(sweep.settings.seconds, 60);
  EXPECT_EQ(sweep.settings.rounds, 20u);
  EXPECT_EQ(sweep.settings.seed, UINT64_MAX);
  EXPECT_EQ(sweep.settings.cpu, 1);
  ASSERT_EQ(sweep.user_kernels.size(), 2u);
  EXPECT_FALSE(sweep.user_kernels[0].assembly);
  EXPECT_EQ(sweep.user_kernels[0].argument, "a=90");
  EXPECT_TRUE(sweep.user_kernels[1].assembly);
  EXPECT_EQ(sweep.user_kernels[1].argument, "b=nop");
  EXPECT_EQ(sweep.settings.measures, (std::vector<stats::SweepMeasure>{stats::SweepMeasure::LATENCY,
                                                                       stats::SweepMeasure::CALL}))
      << "each measure once, in the order given";
  const auto all = stats::ParseCommandLine({"--sweep", "--measure", "throughput,all"});
  EXPECT_EQ(
      std::get<stats::SweepOptions>(all).settings.measures,
      (std::vector<stats::SweepMeasure>{stats::SweepMeasure::THROUGHPUT, stats::SweepMeasure::CALL,
                                        stats::SweepMeasure::LATENCY}));
  EXPECT_EQ(sweep.csv_path, "p.csv");
  EXPECT_EQ(sweep.svg_path, "p.svg");
  const auto precise = std::get<stats::SweepOptions>(stats::ParseCommandLine(
      {"--sweep", "--calls", "7", "--seconds", "9", "--precision", "0.005"}));
  EXPECT_EQ(precise.settings.calls, 7u);
  EXPECT_EQ(precise.settings.seconds, 9);
  EXPECT_DOUBLE_EQ(precise.settings.precision_cycles, 0.005);
  EXPECT_FALSE(precise.predict);
  const auto predicting = std::get<stats::SweepOptions>(
      stats::ParseCommandLine({"--sweep", "--measure", "call,throughput", "--predict",
                               "--predict-for", "znver4", "--mca", "/m"}));
  EXPECT_TRUE(predicting.predict);
  EXPECT_EQ(predicting.predict_for, "znver4");
  EXPECT_EQ(predicting.mca, "/m");
}

TEST(ParseCommandLine, GivesTheComparisonItsFilesInOrderAndItsOwnOptions) {
  const auto command =
      stats::ParseCommandLine({"--compare", "base.json", "--markdown", "--csv", "c.csv",
                               "--svg=c.svg", "b.json", "--", "--odd-name.json"});
  const auto* compare = std::get_if<stats::CompareOptions>(&command);
  ASSERT_NE(compare, nullptr);
  EXPECT_EQ(compare->files, (Arguments{"base.json", "b.json", "--odd-name.json"}));
  EXPECT_TRUE(compare->markdown);
  EXPECT_EQ(compare->csv_path, "c.csv");
  EXPECT_EQ(compare->svg_path, "c.svg");
  const auto sweep = stats::ParseCommandLine({"--sweep", "--json", "r.json"});
  ASSERT_TRUE(std::holds_alternative<stats::SweepOptions>(sweep));
  EXPECT_EQ(std::get<stats::SweepOptions>(sweep).json_path, "r.json");
}

TEST(ParseCommandLine, AnswersHelpWhereverItStands) {
  EXPECT_TRUE(std::holds_alternative<stats::HelpRequest>(stats::ParseCommandLine({"--help"})));
  EXPECT_TRUE(std::holds_alternative<stats::HelpRequest>(
      stats::ParseCommandLine({"--sweep", "--calls", "5", "--help"})));
  EXPECT_TRUE(std::holds_alternative<stats::HelpRequest>(
      stats::ParseCommandLine({"--compare", "a.json", "--help"})));
}

TEST(ParseCommandLine, RefusesEveryBadValueAndEveryOptionThatWouldBeIgnored) {
  const struct {
    Arguments arguments;
    std::string says;
  } refusals[] = {
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{"-x"}, "unknown option '-x'"},
      {{"--csv"}, "option '--csv' needs a value"},
      {{"-n", "zero"}, "-n needs a whole number of runs from 1 to 1000, not 'zero'"},
      {{"-n", "0"}, "not '0'"},
      {{"-n", "-3"}, "not '-3'"},
      {{"-n", "1001"}, "not '1001'"},
      {{"-n", "2", "x.txt"}, "-n and --benchmark run the benchmark; they do not go with saved"},
      {{"--benchmark", "/b", "x.txt"}, "do not go with saved reports"},
      {{"--sweep", "x.txt"}, "--sweep measures this machine; it does not go with saved reports"},
      {{"--calls", "5"}, "belong to --sweep"},
      {{"--seconds", "5"}, "belong to --sweep"},
      {{"--rounds", "4"}, "belong to --sweep"},
      {{"--seed", "1"}, "belong to --sweep"},
      {{"--cpu", "0"}, "belong to --sweep"},
      {{"--kernel", "a=90"}, "belong to --sweep"},
      {{"--kernel-asm", "a=nop"}, "belong to --sweep"},
      {{"--measure", "all"}, "belong to --sweep"},
      {{"--sweep", "--measure", "speed"}, "--measure needs a comma list of call, latency and"},
      {{"--sweep", "--measure", ""}, "not ''"},
      {{"--sweep", "--measure", "call,"}, "not 'call,'"},
      {{"--sweep", "-n", "2", "--measure", "latency"}, "--measure leaves it out"},
      {{"--sweep", "--benchmark", "/b"}, "--benchmark needs -n here"},
      {{"--sweep", "--rounds", "4", "--precision", "0.1"}, "give one"},
      {{"--predict"}, "belong to --sweep"},
      {{"--sweep", "--predict"}, "ask for one of them with --measure"},
      {{"--sweep", "--predict", "--measure", "call"}, "ask for one of them with --measure"},
      {{"--sweep", "--measure", "latency", "--mca", "x"}, "belong to --predict"},
      {{"--sweep", "--measure", "latency", "--predict", "--predict-for", "Zen 4"},
       "--predict-for needs a processor"},
      {{"--precision", "0.1"}, "belong to --sweep"},
      {{"--sweep", "--precision", "0"}, "--precision needs a number of cycles from 0.001 to 1"},
      {{"--sweep", "--precision", "1.5"}, "not '1.5'"},
      {{"--sweep", "--precision", "1e-2"}, "not '1e-2'"},
      {{"--sweep", "--precision", "0.1.2"}, "not '0.1.2'"},
      {{"--sweep", "--calls", "0"}, "--calls needs a whole number from 1 to 1000000, not '0'"},
      {{"--sweep", "--calls", "1000001"}, "not '1000001'"},
      {{"--sweep", "--seconds", "0"}, "--seconds needs a whole number of seconds"},
      {{"--sweep", "--seconds", "1.5"}, "not '1.5'"},
      {{"--sweep", "--rounds", "3"}, "--rounds needs an even number from 2 to 1000, not '3'"},
      {{"--sweep", "--rounds", "0"}, "not '0'"},
      {{"--sweep", "--rounds", "1002"}, "not '1002'"},
      {{"--sweep", "--seed", "18446744073709551616"}, "--seed needs a whole number"},
      {{"--sweep", "--cpu", "-1"}, "--cpu needs a processor number, not '-1'"},
      {{"--sweep", "--cpu", "99999"}, "not '99999'"},
      {{"--json", "r.json"}, "belong to --sweep"},
      {{"--compare", "a.json"}, "--compare needs two result files or more"},
      {{"--compare", "a.json", "b.json", "--sweep"}, "'--sweep' does not go with --compare"},
      {{"-n", "3", "--compare", "a.json", "b.json"}, "'-n' does not go with --compare"},
      {{"--compare", "a.json", "b.json", "--csv"}, "option '--csv' needs a value"},
  };
  Arguments many = {"--sweep"};
  for (size_t kernel = 0; kernel <= stats::MOST_USER_KERNELS; ++kernel) {
    many.insert(many.end(), {"--kernel", "k" + std::to_string(kernel) + "=90"});
  }
  EXPECT_EQ(std::get<stats::UsageError>(stats::ParseCommandLine(many)).message,
            "at most 64 kernels of your own in one sweep, not 65");
  for (const auto& refusal : refusals) {
    const auto command = stats::ParseCommandLine(refusal.arguments);
    const auto* error = std::get_if<stats::UsageError>(&command);
    ASSERT_NE(error, nullptr) << "accepted: " << refusal.arguments[0] << " ...";
    EXPECT_NE(error->message.find(refusal.says), std::string::npos)
        << refusal.arguments[0] << ": " << error->message;
  }
}

}  // namespace
