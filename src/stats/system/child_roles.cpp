#include "stats/system/child_roles.h"

#include <string>

namespace stats {

namespace {

const std::string HEADER = "absbench-stats role ";

// The next line of `message` from `at` on, without its LF; false when no LF ends it.
bool NextLine(const std::string& message, size_t& at, std::string& line) {
  const size_t end = message.find('\n', at);
  if (end == std::string::npos) return false;
  line = message.substr(at, end - at);
  at = end + 1;
  return true;
}

bool Decimal(const std::string& text, size_t& value) {
  if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = std::stoull(text);
  return true;
}

}  // namespace

std::string RoleMessage(const std::string& role, const std::string& input) {
  return HEADER + std::to_string(ROLE_PROTOCOL_VERSION) + "\n" + role + "\n" +
         std::to_string(input.size()) + "\n" + input;
}

RoleMessageRead ReadRoleMessage(const std::string& role, const std::string& message) {
  size_t at = 0, version = 0, length = 0;
  std::string header, named, count;
  if (!NextLine(message, at, header) || header.rfind(HEADER, 0) != 0 ||
      !Decimal(header.substr(HEADER.size()), version))
    return {"", "it does not open with the role protocol's header"};
  if (version != ROLE_PROTOCOL_VERSION) {
    return {"", "it speaks the role protocol " + std::to_string(version) + ", this program " +
                    std::to_string(ROLE_PROTOCOL_VERSION)};
  }
  if (!NextLine(message, at, named) || named != role) return {"", "it is for another role"};
  if (!NextLine(message, at, count) || !Decimal(count, length))
    return {"", "it does not say how long its input is"};
  const size_t came = message.size() - at;
  if (came < length) {
    return {"", "it was cut short: " + std::to_string(came) + " of " + std::to_string(length) +
                    " bytes came"};
  }
  if (came > length) return {"", "it goes on past the input it announced"};
  return {message.substr(at), ""};
}

void PlayRole(const RoleTable& roles, const std::string& role, const std::string& message,
              const RoleContext& context) {
  const auto played = roles.find(role);
  if (played == roles.end() && role != STARTS_ROLE)
    RefuseRoleInput(role, "this program has no such role");
  const RoleMessageRead read = ReadRoleMessage(role, message);
  if (!read.problem.empty()) RefuseRoleInput(role, read.problem);
  if (played == roles.end()) ExitAtOnce(0);
  played->second(read.input, context);
  ExitAtOnce(127);
}

std::string WhyThisProgramCannotStartItself() {
  ChildLimits limits;
  limits.time_limit_ms = 10000;
  const ChildRun run = RunRole(STARTS_ROLE, "", limits);
  if (Succeeded(run)) return "";
  if (!run.failure.empty()) return run.failure;
  return "this program, started again, " + run.ending.words;
}

ChildRun RunRole(const std::string& role, const std::string& input, const ChildLimits& limits,
                 const SharedPage* shared) {
  return RunRoleWithMessage(role, RoleMessage(role, input), limits, shared);
}

}  // namespace stats
