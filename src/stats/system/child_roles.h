// A child process is this very program started again, never a copy of the parent's memory: the
// role it plays is named by a hidden argument, and its input comes as bytes on its standard input
// behind a header with the protocol's version, which both sides check. Nothing reaches it but
// those bytes, its report channel and, when asked, a shared page, so the protocol is the same on
// every operating system.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "stats/system/processes.h"
#include "stats/system/shared_page.h"

namespace stats {

// The argument that names the role; main looks for it before anything else.
constexpr const char* ROLE_ARGUMENT = "--child-role";
constexpr int ROLE_PROTOCOL_VERSION = 1;

// What a child in a role has beside its input: where it reports, and the shared page, if any.
struct RoleContext {
  ReportChannel report;
  SharedPage::Handle shared_page = SharedPage::NO_HANDLE;
};
// A role's work, which ends the process itself (ExitAtOnce) and never returns.
using Role = std::function<void(const std::string& input, const RoleContext& context)>;
using RoleTable = std::map<std::string, Role>;

// A role every build of this program plays: it ends at once, to show that the program starts.
constexpr const char* STARTS_ROLE = "starts";

// How a child that refused its input ends: this exit code, and one line on standard error.
constexpr int ROLE_REFUSED = 125;

// The bytes on a role's standard input: the header with the version, the role, then the input.
std::string RoleMessage(const std::string& role, const std::string& input);
struct RoleMessageRead {
  std::string input;
  std::string problem;  // empty, or why the message is refused
};
RoleMessageRead ReadRoleMessage(const std::string& role, const std::string& message);

// In the child: one line on standard error saying why `role` refuses its input, and the end.
[[noreturn]] void RefuseRoleInput(const std::string& role, const std::string& problem);

// When `argv` names a role: reads its input, plays it and never returns; a role this table does
// not hold, or input cut short or garbled, is refused. Returns at once when no role is named.
void PlayRoleIfAsked(int argc, char** argv, const RoleTable& roles);

// In the child, once its system gave it `message` and `context`: the role played, or refused as
// above; never returns.
[[noreturn]] void PlayRole(const RoleTable& roles, const std::string& role,
                           const std::string& message, const RoleContext& context);

// Empty when this program can start itself again as a child, else why not, in one line: an IA-32
// build run under an emulator on a machine that refuses 32-bit programs cannot.
std::string WhyThisProgramCannotStartItself();

// This program started again in `role` with `input`, within `limits`, sharing `shared` when
// given. A child that refused its input is FAILED, with its reason; one that could not be started
// is FAILED, "cannot start this program again: reason".
ChildRun RunRole(const std::string& role, const std::string& input, const ChildLimits& limits,
                 const SharedPage* shared = nullptr);
// The same with exactly `message` on its standard input, for the protocol's own tests.
ChildRun RunRoleWithMessage(const std::string& role, const std::string& message,
                            const ChildLimits& limits, const SharedPage* shared = nullptr);

}  // namespace stats
