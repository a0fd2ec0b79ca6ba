// The walls a child of this program's own is started behind on Windows, each where the system
// grants it: its job's limits, a restricted low-integrity token, and mitigation policies.
#pragma once

#include <functional>

#include "stats/system/processes.h"
#include "stats/system/windows/handles.h"

namespace stats {

// A job that kills what is in it when closed and lets nothing break away; for a walled child also
// one process, bounded memory and processor time, death on an unhandled exception, no UI.
OwnedHandle JobFor(const ChildLimits& limits, bool walled);

// This process's token without its privileges, at low integrity; none when the system refuses.
OwnedHandle RestrictedToken();

// The mitigation policies a walled child is created with: the ones that do not stop its start.
DWORD64 CreationMitigations();
// No child process of its own, ever.
DWORD ChildProcessPolicy();

// Calls `start` behind each set of walls in turn, the strongest first, until one starts the child:
// for a walled child the token and the policies, the token alone, the policies alone, then
// neither; for any other child neither. Each is left off only where the system refused it, so a
// policy refused never costs the token. What it was started behind is in `token` and `policies`;
// false when no attempt started it.
bool StartBehindWallsGranted(bool walled, bool have_token,
                             const std::function<bool(bool token, bool policies)>& start,
                             bool& token, bool& policies);

// What the system granted the walled child started last: known once one started.
struct GrantedWalls {
  bool known = false, token = false, mitigations = false;
};
void RecordGrantedWalls(bool token, bool mitigations);
GrantedWalls LastGrantedWalls();

}  // namespace stats
