#include "stats/sweep/prediction/model.h"

#include <algorithm>
#include <map>

#include "stats/sweep/placed/blocks.h"
#include "stats/sweep/prediction/mca_report.h"
#include "stats/sweep/prediction/model_host.h"
#include "stats/sweep/prediction/model_paths.h"
#include "stats/sweep/prediction/path_listing.h"
#include "stats/sweep/user_code/tool_runner.h"
#include "stats/system/scratch_folder.h"
#include "stats/text/format.h"

namespace stats {

namespace {

constexpr int MODEL_TIME_LIMIT_MS = 5000;
constexpr size_t MODEL_OUTPUT_LIMIT = 1 << 20;
constexpr int ITERATIONS = 1000;

// Runs a tool of the model on one file in `folder`, the one it may read; its standard output, or
// `problem` says what went wrong.
std::string RunModelTool(std::vector<std::string> words, const std::string& folder,
                         std::string& problem, std::string* errors = nullptr) {
  ToolLimits limits;
  limits.folder = folder;
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
    problem = name + " " + tool.child.ending.words + ": " + Quoted(tool.child.errors, '"');
  }
  // A tool built for Windows may write its lines with CR LF; they are read as LF.
  std::string output = tool.child.output;
  output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
  return output;
}

// Adds `note` to what `notes` say, once.
void AddNote(std::string& notes, const std::string& note) {
  if (note.empty() || notes.find(note) != std::string::npos) return;
  notes += (notes.empty() ? "" : "; ") + note;
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
  // llvm-mca refuses a file without instructions: then there is nothing to model in this pass.
  for (bool again = !regions.empty(); again;) {
    const ModelRegions input = RegionsOf(regions, sequences);
    const ScratchFolder folder({"blocks.s"});
    problem =
        folder.ok() ? WriteNewFile(folder / "blocks.s", input.text) : folder.Problem("llvm-mca");
    json =
        problem.empty()
            ? RunModelTool({tools.mca, "-mcpu=" + cpu, "-iterations=" + std::to_string(ITERATIONS),
                            "--json", folder / "blocks.s"},
                           folder.path(), problem, &errors)
            : "";
    const int blamed = problem.empty() ? -1 : BlamedRegion(input, errors, blame);
    again = blamed >= 0 && regions.size() > 1;
    if (blamed >= 0) {
      why_not[regions[blamed]] = blame;
      regions.erase(regions.begin() + blamed);
      sequences.erase(sequences.begin() + blamed);
      if (regions.empty()) problem.clear();
    }
  }
  McaReport report;
  if (problem.empty() && !regions.empty()) {
    std::string unread = ReadMcaReport(json, report);
    for (const std::string& region : regions) {
      if (unread.empty() && report.cycles.count(region) == 0) unread = "no region " + region;
    }
    if (unread.empty() && report.cycles.size() != regions.size()) unread = "regions not asked for";
    if (!unread.empty()) {
      problem = tools.mca + " answered with what is not its JSON report: " + Quoted(json, '"') +
                " (" + unread + ")";
    }
  }
  if (!problem.empty()) {
    predictions.problem = problem;
    return false;
  }
  if (!report.cpu.empty()) {
    predictions.cpu = report.cpu;
    AddNote(predictions.note, NoteOn(report.cpu, report.first_resource, errors));
  }
  auto cycles_of = [&](const std::string& name, double& cycles) {
    const auto region = report.cycles.find(name);
    if (region != report.cycles.end()) cycles = region->second;
    return region != report.cycles.end();
  };
  // Latency is measured net of the glue's own chain, the empty procedure's block; so it is here.
  // A glue whose path runs nothing costs nothing; one whose path is not known leaves no net figure.
  double glue = 0;
  const std::string& glue_name = EmptyProcedureCopy().name;
  std::string glue_unknown;
  if (measure == SweepMeasure::LATENCY && !cycles_of(glue_name, glue) &&
      !why_not[glue_name].empty()) {
    glue_unknown =
        "the glue's own chain, which its latency is measured net of, has no prediction: " +
        why_not[glue_name];
  }
  for (const Procedure& kernel : kernels) {
    ModelPredictions::Entry entry{measure, pass, kernel.name, {}};
    double cycles = 0;
    if (!kernel.inline_refusal.empty()) {
      entry.prediction.why_not = NOT_MEASURED;
    } else if (!cycles_of(kernel.name, cycles) && !why_not[kernel.name].empty()) {
      entry.prediction.why_not = why_not[kernel.name];
    } else if (!glue_unknown.empty()) {
      entry.prediction.why_not = glue_unknown;
    } else {
      // A copy without instructions runs nothing: it costs what the glue alone does.
      entry.prediction.made = true;
      entry.prediction.cycles = measure == SweepMeasure::LATENCY ? cycles - glue : cycles;
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
                                                 folder.path(), problem)
                                  : "";
  if (!problem.empty()) return predictions;
  const std::vector<Instructions> read = ReadListing(listing, bytes);
  for (size_t at = 0; at < copies.size(); ++at) {
    if (copies[at].why_not.empty()) {
      copies[at].instructions = StraightSequence(read[at], copies[at].offsets, copies[at].why_not);
    }
  }
  for (SweepMeasure measure : measures) {
    if (!IsBlock(measure)) continue;
    for (Pass pass : {POSITIVE, NEGATIVE}) {
      if (!PredictPass(tools, cpu, measure, pass, kernels, copies, predictions)) {
        return predictions;
      }
    }
  }
  const HostProcessor host = ReadHostProcessor();
  predictions.host = DescribeHost(host);
  if (cpu == "native" && !OlderModelNote(host, predictions.cpu, "").empty()) {
    std::string unused;
    AddNote(predictions.note, OlderModelNote(host, predictions.cpu,
                                             RunModelTool({tools.mca, "--version"}, "", unused)));
  }
  return predictions;
}

}  // namespace stats
