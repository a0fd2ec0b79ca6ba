// The path each pass runs through one copy of a block with its glue, recorded from the bytes
// themselves in a child process: what the model is given is the instructions that ran, in order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stats/measure.h"
#include "stats/pass.h"
#include "stats/sweep/placed/procedures.h"
#include "stats/system/child_roles.h"

namespace stats {

struct CopyPath {
  SweepMeasure measure;
  Pass pass;
  std::string kernel;
  std::vector<uint8_t> bytes;             // one copy with its glue
  std::vector<uint32_t> offsets;          // of the instructions it ran, in order
  std::string why_not;                    // empty when the path is known
  std::vector<std::string> instructions;  // the path's, in order, as the disassembler reads them
};

// One copy of every procedure in each block measure of `measures` and each pass, run once with
// that pass's operand, as a block runs it. Procedures with an inline refusal have no copies.
std::vector<CopyPath> RecordCopyPaths(const std::vector<Procedure>& procedures,
                                      const std::vector<SweepMeasure>& measures);

// The child that records the paths.
constexpr const char* PATH_RECORDING_ROLE = "path-recording";
void PlayPathRecording(const std::string& input, const RoleContext& context);

}  // namespace stats
