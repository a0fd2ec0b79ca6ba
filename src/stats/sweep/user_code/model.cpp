#include "stats/sweep/user_code/model.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "stats/format.h"
#include "stats/sweep/placed/blocks.h"
#include "stats/sweep/user_code/tool_runner.h"
#include "stats/system/scratch_folder.h"

namespace stats {

namespace {

constexpr int MODEL_TIME_LIMIT_MS = 5000;
constexpr size_t MODEL_OUTPUT_LIMIT = 1 << 20;
constexpr int ITERATIONS = 1000;
// Between blocks for the disassembler. A kernel's own INT3 would end its block early; the table's
// kernels hold none, and one that a user's kernel runs fails its check.
constexpr const char* SEPARATOR = "int3";

// Runs a tool of the model on one file; its standard output, or `problem` says what went wrong.
std::string RunModelTool(std::vector<std::string> words, std::string& problem,
                         std::string* errors = nullptr) {
  ToolLimits limits;
  limits.time_limit_ms = MODEL_TIME_LIMIT_MS;
  limits.output_limit = MODEL_OUTPUT_LIMIT;
  const std::string name = words[0];
  const ToolRun tool = RunTool(std::move(words), limits);
  if (errors != nullptr) *errors = tool.child.errors;
  if (!tool.problem.empty()) {
    problem = tool.problem;
  } else if (tool.child.outcome == ChildRun::OVERFLOWED) {
    problem = name + " wrote more than " + std::to_string(MODEL_OUTPUT_LIMIT >> 20) +
              " MiB: that is not its answer";
  } else if (!Succeeded(tool.child)) {
    problem =
        name + " " + DescribeWaitStatus(tool.child.status) + ": " + Quoted(tool.child.errors, '"');
  }
  return tool.child.output;
}

// The numbers after each `"key": ` in `json`, in order.
std::vector<double> NumbersOf(const std::string& json, const std::string& key) {
  std::vector<double> numbers;
  const std::string marker = "\"" + key + "\": ";
  for (size_t at = json.find(marker); at != std::string::npos; at = json.find(marker, at + 1)) {
    numbers.push_back(std::strtod(json.c_str() + at + marker.size(), nullptr));
  }
  return numbers;
}

// The strings after each `"key": "`, in order.
std::vector<std::string> StringsOf(const std::string& json, const std::string& key) {
  std::vector<std::string> strings;
  const std::string marker = "\"" + key + "\": \"";
  for (size_t at = json.find(marker); at != std::string::npos; at = json.find(marker, at + 1)) {
    const size_t start = at + marker.size();
    strings.push_back(json.substr(start, json.find('"', start) - start));
  }
  return strings;
}

bool Branches(const std::string& instruction) {
  const std::string mnemonic = instruction.substr(0, instruction.find_first_of(" \t"));
  return mnemonic[0] == 'j' || mnemonic.rfind("ret", 0) == 0 || mnemonic.rfind("call", 0) == 0 ||
         mnemonic.rfind("loop", 0) == 0;
}

// "znver5 uses its Zn4 resources": the note when the model is another processor's.
std::string NoteOn(const std::string& cpu, const std::string& first_resource,
                   const std::string& errors) {
  if (errors.find("is not a recognized processor") != std::string::npos) {
    return "LLVM does not know the processor '" + cpu + "'; its generic model stands in";
  }
  if (cpu.rfind("znver", 0) == 0 && first_resource.rfind("Zn", 0) == 0 &&
      first_resource.size() > 2 && first_resource[2] >= '1' && first_resource[2] <= '9' &&
      first_resource[2] != cpu[5]) {
    return "this LLVM has no model of its own for " + cpu + ": it schedules it with its znver" +
           first_resource[2] + " model";
  }
  return "";
}

struct Block {
  std::string kernel;
  std::vector<uint8_t> bytes;
  std::vector<std::string> instructions;
};

// The predictions of one measure in one pass, added to `predictions`; false on a tool's failure.
bool PredictPass(const ModelTools& tools, const std::string& cpu, SweepMeasure measure, Pass pass,
                 const std::vector<Procedure>& kernels, ModelPredictions& predictions) {
  const ScratchFolder folder({"blocks.txt", "blocks.s"});
  if (!folder.ok()) {
    predictions.problem = folder.Problem("llvm-mca");
    return false;
  }
  std::vector<Procedure> procedures = kernels;
  procedures.push_back(EmptyProcedureCopy());
  std::vector<Block> blocks;
  std::string hex;
  for (const Procedure& procedure : procedures) {
    if (!procedure.inline_refusal.empty()) continue;
    Block block{procedure.name, BlockCopies(measure, pass, procedure, 1), {}};
    if (block.bytes.empty()) continue;  // the glue alone, and no glue: nothing to predict
    for (uint8_t byte : block.bytes) {
      char text[8];
      std::snprintf(text, sizeof text, "0x%02x ", byte);
      hex += text;
    }
    hex += "0xcc\n";
    blocks.push_back(block);
  }
  std::string problem = WriteNewFile(folder / "blocks.txt", hex);
  const std::string listing =
      problem.empty()
          ? RunModelTool({tools.mc, "--disassemble", "-triple=x86_64", folder / "blocks.txt"},
                         problem)
          : "";
  size_t at = 0;
  std::istringstream lines(listing);
  for (std::string line; problem.empty() && std::getline(lines, line);) {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '.' || line[start] == '#') continue;
    const std::string instruction = line.substr(start);
    if (instruction == SEPARATOR) {
      ++at;
    } else if (at < blocks.size()) {
      blocks[at].instructions.push_back(instruction);
    }
  }
  if (problem.empty() && at != blocks.size())
    problem = tools.mc + " did not disassemble the blocks";
  std::string regions;
  for (const Block& block : blocks) {
    const bool branchy =
        std::any_of(block.instructions.begin(), block.instructions.end(), Branches);
    if (branchy) continue;
    regions += "# LLVM-MCA-BEGIN " + block.kernel + "\n";
    for (const std::string& instruction : block.instructions) regions += instruction + "\n";
    regions += "# LLVM-MCA-END\n";
  }
  if (problem.empty()) problem = WriteNewFile(folder / "blocks.s", regions);
  std::string errors;
  const std::string json =
      problem.empty()
          ? RunModelTool({tools.mca, "-mcpu=" + cpu, "-iterations=" + std::to_string(ITERATIONS),
                          "--json", folder / "blocks.s"},
                         problem, &errors)
          : "";
  const std::vector<std::string> names = StringsOf(json, "Name");
  const std::vector<double> totals = NumbersOf(json, "TotalCycles");
  const std::vector<double> iterations = NumbersOf(json, "Iterations");
  const std::vector<std::string> cpus = StringsOf(json, "CPUName");
  if (problem.empty() && (names.size() != totals.size() || names.size() != iterations.size() ||
                          cpus.size() != 1 || regions.empty() != names.empty())) {
    problem = tools.mca + " answered with what is not its JSON report: " + Quoted(json, '"');
  }
  if (!problem.empty()) {
    predictions.problem = problem;
    return false;
  }
  predictions.cpu = cpus[0];
  const size_t first = json.find("\"Resources\": [");
  std::string first_resource;
  if (first != std::string::npos) {
    const size_t quote = json.find('"', first + 14);
    if (quote != std::string::npos) {
      first_resource = json.substr(quote + 1, json.find('"', quote + 1) - quote - 1);
    }
  }
  predictions.note = NoteOn(predictions.cpu, first_resource, errors);
  auto cycles_of = [&](const std::string& name, double& cycles) {
    for (size_t region = 0; region < names.size(); ++region) {
      if (names[region] == name && iterations[region] > 0) {
        cycles = totals[region] / iterations[region];
        return true;
      }
    }
    return false;
  };
  // Latency is measured net of the glue's own chain, the empty procedure's block; so it is here.
  double glue = 0;
  if (measure == SweepMeasure::LATENCY) cycles_of(EmptyProcedureCopy().name, glue);
  for (const Procedure& kernel : kernels) {
    ModelPredictions::Entry entry{measure, pass, kernel.name, {}};
    double cycles = 0;
    if (!kernel.inline_refusal.empty()) {
      entry.prediction.missing = Prediction::NOT_MEASURED;
    } else if (cycles_of(kernel.name, cycles)) {
      entry.prediction.missing = Prediction::MADE;
      entry.prediction.cycles = measure == SweepMeasure::LATENCY ? cycles - glue : cycles;
    } else {
      entry.prediction.missing = Prediction::BRANCHES;
    }
    predictions.entries.push_back(entry);
  }
  return true;
}

}  // namespace

ModelPredictions Predict(const ModelTools& tools, const std::string& cpu,
                         const std::vector<Procedure>& kernels,
                         const std::vector<SweepMeasure>& measures) {
  ModelPredictions predictions;
  for (SweepMeasure measure : measures) {
    if (measure == SweepMeasure::CALL) continue;
    for (Pass pass : {POSITIVE, NEGATIVE}) {
      if (!PredictPass(tools, cpu, measure, pass, kernels, predictions)) return predictions;
    }
  }
  return predictions;
}

}  // namespace stats
