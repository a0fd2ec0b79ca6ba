// The commands, each returning the exit code. The sweep is built only where its machine code
// runs; elsewhere a stand-in says so.
#pragma once

#include "stats/cli/options.h"
#include "stats/system/child_roles.h"
#include "stats/system/program_start.h"
#include "stats/text/failure.h"

namespace stats {

int RunSummaryCommand(const SummaryOptions& options);
int RunSweepCommand(const SweepOptions& options);
int RunCompareCommand(const CompareOptions& options);

// The roles this program plays as its own child process: the sweep's, where it is built.
RoleTable CompanionRoles();

// What the line got wrong, on standard error, the usage after it, and the exit code for that.
int UsageFailure(const std::string& problem);

// `code`, or 1 with one line on standard error when standard output could not take everything
// (closed, or its device full): a table that never arrived is no success.
int WithStandardOutputChecked(int code);

}  // namespace stats
