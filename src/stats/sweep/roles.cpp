#include "stats/cli/commands.h"
#include "stats/sweep/isolation/cell_alone.h"
#include "stats/sweep/isolation/contract_check.h"
#include "stats/sweep/isolation/measuring_process.h"
#include "stats/sweep/measurement.h"
#include "stats/sweep/prediction/model_paths.h"

namespace stats {

RoleTable CompanionRoles() {
  return {{MEASURING_ROLE, MeasuringRole(MEASURING_ROLE, RunSweep)},
          {CONTRACT_CHECK_ROLE, PlayContractCheck},
          {CELL_ALONE_ROLE, PlayCellAlone},
          {PATH_RECORDING_ROLE, PlayPathRecording}};
}

}  // namespace stats
