#include "stats/record/result_record.h"

namespace stats {

std::string MachineShortName(const RecordMachine& machine) {
  if (!machine.microarchitecture.empty()) return machine.microarchitecture;
  return machine.brand.empty() ? "unknown processor" : machine.brand;
}

const RecordFigure* FindFigure(const RecordKernel& kernel, const std::string& measure,
                               const std::string& pass) {
  for (const RecordFigure& figure : kernel.figures) {
    if (figure.measure == measure && figure.pass == pass) return &figure;
  }
  return nullptr;
}

}  // namespace stats
