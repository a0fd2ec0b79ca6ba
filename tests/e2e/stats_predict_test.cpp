// --predict against a stand-in llvm-mca whose answers are known, and against ones that misbehave.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"

namespace {

#ifdef SWEEP_AVAILABLE
using std::chrono::seconds;

// A stand-in llvm-mca in a folder of its own, removed at the end.
class FakeModel {
 public:
  explicit FakeModel(const std::string& body) {
    char folder[] = "/tmp/absbench-fake-mca-XXXXXX";
    folder_ = mkdtemp(folder);
    std::ofstream(path()) << "#!/bin/sh\n" << body;
    chmod(path().c_str(), 0755);
  }
  ~FakeModel() {
    std::remove(path().c_str());
    rmdir(folder_.c_str());
  }
  std::string path() const { return folder_ + "/llvm-mca"; }

 private:
  std::string folder_;
};

// A stand-in for llvm-mca, in sh: 10 cycles per iteration for every code region of the file it is
// given last, on the processor `cpu`; `first` runs before it answers.
std::string AnswersTen(const std::string& cpu, const std::string& first = "") {
  return "for last; do :; done\n" + first +
         "printf '{\"CodeRegions\": ['\n"
         "sep=''\n"
         "for name in $(sed -n 's/^# LLVM-MCA-BEGIN //p' \"$last\"); do\n"
         "  printf '%s{\"Name\": \"%s\", \"SummaryView\": {\"Iterations\": 1000, "
         "\"TotalCycles\": 10000}}' \"$sep\" \"$name\"\n"
         "  sep=','\n"
         "done\n"
         "printf '], \"TargetInfo\": {\"CPUName\": \"" +
         cpu + "\", \"Resources\": [\"Fk0\"]}}\\n'\n";
}

std::vector<std::string> PredictingSweep(const std::string& mca,
                                         std::vector<std::string> more = {}) {
  std::vector<std::string> command = {STATS_PATH,  "--sweep", "--measure", "latency",
                                      "--predict", "--mca",   mca,         "--rounds",
                                      "4",         "--calls", "50"};
  command.insert(command.end(), more.begin(), more.end());
  return command;
}

std::string LineWith(const std::string& text, const std::string& part) {
  const size_t at = text.find(part);
  if (at == std::string::npos) return "";
  const size_t start = text.rfind('\n', at) + 1;
  return text.substr(start, text.find('\n', at) - start);
}

TEST(Predict, PutsTheModelsFiguresBesideTheMeasuredOnesAndMarksWhereTheyDisagree) {
  const FakeModel model(AnswersTen("fakecpu"));
  const std::string csv = "/tmp/absbench-predict-" + std::to_string(getpid()) + ".csv";
  const FinishedRun run =
      RunCommand(PredictingSweep(model.path(), {"--kernel-asm", "mine=neg eax", "--csv", csv}),
                 Input::DEV_NULL, seconds(60));
  ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.errors;
  EXPECT_NE(run.output.find("model: llvm-mca's fakecpu beside this host's "), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("model: the path each pass runs; jumps count as instructions, a taken "
                            "jump's redirect is not charged\n"),
            std::string::npos);
  EXPECT_EQ(run.output.find("no prediction"), std::string::npos) << "every kernel has one";
  EXPECT_NE(run.output.find("predicted  meas-pred"), std::string::npos) << run.output;
  // Positive pass: no glue, so 10 cycles predicted per copy; abs3's chain is far shorter.
  const std::string abs3 = LineWith(run.output, "abs3 quendis 1");
  EXPECT_NE(abs3.find("      10.00"), std::string::npos) << abs3;
  EXPECT_NE(abs3.find("disagrees with the model"), std::string::npos) << abs3;
  // The branchy ones too: their path, jump included, is a region of the model.
  const std::string abs0 = LineWith(run.output, "abs0 tovak");
  EXPECT_NE(abs0.find("      10.00"), std::string::npos) << abs0;
  const std::string rows = ReadFile(csv);
  EXPECT_NE(rows.find(",second_half_cycles,predicted_cycles,model\n"), std::string::npos);
  EXPECT_NE(rows.find(",latency,"), std::string::npos);
  EXPECT_NE(rows.find("positive,mine,0,0,"), std::string::npos) << "the user's kernel's row";
  EXPECT_NE(LineWith(rows, "positive,mine,0,0,").find(",10.0000,fakecpu"), std::string::npos);
  EXPECT_NE(LineWith(rows, "positive,abs0,0,0,").find(",10.0000,fakecpu"), std::string::npos);
  std::remove(csv.c_str());
}

// What /proc/cpuinfo says of this host's processor: "AMD family 25 model 1", or empty.
std::string HostFromCpuinfo() {
  const std::string info = ReadFile("/proc/cpuinfo");
  auto field = [&](const std::string& name) {
    const std::string line = LineWith(info, name + "\t");
    return line.substr(line.find(": ") + 2);
  };
  if (field("vendor_id") != "AuthenticAMD") return "";
  return "AMD family " + field("cpu family") + " model " + field("model");
}

// An LLVM 14 whose model for this host is znver1, and that cannot model LFENCE.
const std::string ANSWERS_OLD = AnswersTen(
    "znver1",
    "if [ \"$1\" = --version ]; then echo 'Debian LLVM version 14.0.6'; exit 0; fi\n"
    "if grep -q lfence \"$last\"; then\n"
    "  echo 'error: found an unsupported instruction in the input assembly sequence' >&2\n"
    "  printf 'note: instruction: \\tlfence\\n' >&2; exit 1\n"
    "fi\n");

TEST(Predict, FillsEveryRowWhosePathItCanModelAndSaysOnceWhyNotForTheOthers) {
  const FakeModel model(ANSWERS_OLD);
  const FinishedRun run = RunCommand(
      PredictingSweep(model.path(),
                      {"--kernel", "fwd=85c07902f7d8", "--kernel", "thrice=b903000000ffc975fc",
                       "--kernel", "long=b958020000ffc975fc", "--kernel", "fence=0faee8"}),
      Input::DEV_NULL, seconds(120));
  ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.errors;
  for (const char* kernel : {"abs0 tovak", "abs9 Ostrabine 1", "abs5 wobla", "fwd ", "thrice "}) {
    size_t rows = 0;
    for (size_t at = run.output.find(kernel); at != std::string::npos;
         at = run.output.find(kernel, at + 1), ++rows) {
      const std::string row = LineWith(run.output.substr(at), kernel);
      EXPECT_EQ(row.find("          -"), std::string::npos) << row;
    }
    EXPECT_EQ(rows, 2u) << kernel << ": one row per pass";
  }
  EXPECT_NE(run.output.find("\nmodel: no prediction (-) for long (latency positive, latency "
                            "negative): its path runs more than 1000 instructions\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("\nmodel: no prediction (-) for fence (latency positive, latency "
                            "negative): the model does not know lfence\n"),
            std::string::npos)
      << run.output;
  EXPECT_LT(run.output.find("negative pass"), run.output.find("no prediction (-)"))
      << "said under the tables";
  const std::string host = HostFromCpuinfo();
  // The stand-in's znver1 is no Intel processor; ModelHost's tests hold Intel hosts, fake ones.
  if (host.empty()) GTEST_SKIP() << "not an AMD host: no older model to name";
  EXPECT_NE(run.output.find("model: llvm-mca's znver1 beside this host's " + host +
                            "; LLVM 14 knows no model newer than znver1; install llvm-19; "),
            std::string::npos)
      << run.output;
}

TEST(Predict, RefusesAMissingHungFloodingOrGarbledModelWithExitTwoAndTimesNothing) {
  const FakeModel hangs("sleep 30\n"), floods("exec yes\n"), garbles("echo hello\n");
  const struct {
    std::vector<std::string> command;
    std::string said;
  } refusals[] = {
      {PredictingSweep("/no/such/llvm-mca"),
       "--mca /no/such/llvm-mca is not a program this can run"},
      {{"/bin/sh", "-c", "PATH=/no/such/folder exec \"$@\"", "sh", STATS_PATH, "--sweep",
        "--measure", "throughput", "--predict"},
       "none is on PATH: Debian's package llvm-19 brings both"},
      {PredictingSweep(hangs.path()), "did not finish within 5 s"},
      {PredictingSweep(floods.path()), "wrote more than 1 MiB"},
      {PredictingSweep(garbles.path()), "answered with what is not its JSON report: \"hello"},
  };
  for (const auto& refusal : refusals) {
    const FinishedRun run = RunCommand(refusal.command, Input::DEV_NULL, seconds(30));
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 2) << refusal.said;
    EXPECT_NE(run.errors.find(refusal.said), std::string::npos) << run.errors;
    EXPECT_LT(run.errors.size(), 400u) << "one line";
    EXPECT_EQ(run.output, "") << "something was timed";
  }
}
#endif

}  // namespace
