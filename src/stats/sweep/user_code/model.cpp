#include "stats/sweep/user_code/model.h"

#include <cstdlib>
#include <map>
#include <sstream>

#include "stats/format.h"
#include "stats/sweep/isolation/model_paths.h"
#include "stats/sweep/placed/blocks.h"
#include "stats/sweep/user_code/model_host.h"
#include "stats/sweep/user_code/path_listing.h"
#include "stats/sweep/user_code/tool_runner.h"
#include "stats/system/scratch_folder.h"

namespace stats {

namespace {

constexpr int MODEL_TIME_LIMIT_MS = 5000;
constexpr size_t MODEL_OUTPUT_LIMIT = 1 << 20;
constexpr int ITERATIONS = 1000;

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

// The predictions of one measure in one pass, added to `predictions`; false on a tool's failure.
// A region llvm-mca cannot read is left out with its reason, and the rest are modelled again.
bool PredictPass(const ModelTools& tools, const std::string& cpu, SweepMeasure measure, Pass pass,
                 const std::vector<Procedure>& kernels, const std::vector<CopyPath>& copies,
                 ModelPredictions& predictions) {
  std::vector<std::string> regions;
  std::vector<std::vector<std::string>> sequences;
  std::map<std::string, std::string> why_not;
  for (const CopyPath& copy : copies) {
    if (copy.measure != measure || copy.pass != pass) continue;
    why_not[copy.kernel] = copy.why_not;
    if (copy.why_not.empty() && !copy.instructions.empty()) {
      regions.push_back(copy.kernel);
      sequences.push_back(copy.instructions);
    }
  }
  std::string problem, errors, json, blame;
  for (bool again = true; again;) {
    const ModelRegions input = RegionsOf(regions, sequences);
    const ScratchFolder folder({"blocks.s"});
    problem =
        folder.ok() ? WriteNewFile(folder / "blocks.s", input.text) : folder.Problem("llvm-mca");
    json =
        problem.empty()
            ? RunModelTool({tools.mca, "-mcpu=" + cpu, "-iterations=" + std::to_string(ITERATIONS),
                            "--json", folder / "blocks.s"},
                           problem, &errors)
            : "";
    const int blamed = problem.empty() ? -1 : BlamedRegion(input, errors, blame);
    again = blamed >= 0;
    if (again) {
      why_not[regions[blamed]] = blame;
      regions.erase(regions.begin() + blamed);
      sequences.erase(sequences.begin() + blamed);
    }
  }
  const std::vector<std::string> names = StringsOf(json, "Name");
  const std::vector<double> totals = NumbersOf(json, "TotalCycles");
  const std::vector<double> iterations = NumbersOf(json, "Iterations");
  const std::vector<std::string> cpus = StringsOf(json, "CPUName");
  if (problem.empty() && (names.size() != totals.size() || names.size() != iterations.size() ||
                          cpus.size() != 1 || regions.size() != names.size())) {
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
      entry.prediction.why_not = NOT_MEASURED;
    } else if (cycles_of(kernel.name, cycles) || why_not[kernel.name].empty()) {
      // A copy without instructions runs nothing: it costs what the glue alone does.
      entry.prediction.made = true;
      entry.prediction.cycles = measure == SweepMeasure::LATENCY ? cycles - glue : cycles;
    } else {
      entry.prediction.why_not = why_not[kernel.name];
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
  std::vector<Procedure> procedures = kernels;
  procedures.push_back(EmptyProcedureCopy());
  std::vector<CopyPath> copies = RecordCopyPaths(procedures, measures);
  std::vector<std::vector<uint8_t>> bytes;
  for (const CopyPath& copy : copies) bytes.push_back(copy.bytes);
  const ScratchFolder folder({"copies.txt"});
  std::string& problem = predictions.problem;
  problem = folder.ok() ? WriteNewFile(folder / "copies.txt", DisassemblerInput(bytes))
                        : folder.Problem("llvm-mc");
  const std::string listing = problem.empty()
                                  ? RunModelTool({tools.mc, "--disassemble", "--show-encoding",
                                                  "-triple=x86_64", folder / "copies.txt"},
                                                 problem)
                                  : "";
  if (!problem.empty()) return predictions;
  const std::vector<Instructions> read = ReadListing(listing, bytes);
  for (size_t at = 0; at < copies.size(); ++at) {
    if (copies[at].why_not.empty()) {
      copies[at].instructions = StraightSequence(read[at], copies[at].offsets, copies[at].why_not);
    }
  }
  for (SweepMeasure measure : measures) {
    if (measure == SweepMeasure::CALL) continue;
    for (Pass pass : {POSITIVE, NEGATIVE}) {
      if (!PredictPass(tools, cpu, measure, pass, kernels, copies, predictions)) {
        return predictions;
      }
    }
  }
  const HostProcessor host = ReadHostProcessor();
  predictions.host = DescribeHost(host);
  if (cpu == "native" && predictions.note.empty() &&
      !OlderModelNote(host, predictions.cpu, "").empty()) {
    std::string unused;
    predictions.note =
        OlderModelNote(host, predictions.cpu, RunModelTool({tools.mca, "--version"}, unused));
  }
  return predictions;
}

}  // namespace stats
