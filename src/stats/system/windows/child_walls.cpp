#include "stats/system/windows/child_walls.h"

#include <atomic>

namespace stats {

namespace {

// What a child of this program's own needs at most when asked for no less: the sweep's rounds
// and its code, well within a 64-bit system's commit.
constexpr size_t WALLED_MEMORY = size_t{4} << 30;

std::atomic<int> granted{0};
constexpr int KNOWN = 1, TOKEN = 2, MITIGATIONS = 4;

}  // namespace

OwnedHandle JobFor(const ChildLimits& limits, bool walled) {
  OwnedHandle job(CreateJobObjectW(nullptr, nullptr));
  if (!job) return job;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION info = {};
  JOBOBJECT_BASIC_LIMIT_INFORMATION& basic = info.BasicLimitInformation;
  basic.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  size_t memory = limits.memory_limit;
  if (walled) {
    basic.LimitFlags |=
        JOB_OBJECT_LIMIT_ACTIVE_PROCESS | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    basic.ActiveProcessLimit = 1;
    if (memory == 0) memory = WALLED_MEMORY;
    // One thread's processor time never passes the time it ran; a second more is slack.
    if (limits.time_limit_ms >= 0) {
      basic.LimitFlags |= JOB_OBJECT_LIMIT_PROCESS_TIME;
      basic.PerProcessUserTimeLimit.QuadPart = (LONGLONG{limits.time_limit_ms} + 1000) * 10000;
    }
  }
  if (memory != 0) {
    basic.LimitFlags |= JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    info.ProcessMemoryLimit = memory;
  }
  if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &info, sizeof info))
    return OwnedHandle();
  if (walled) {
    JOBOBJECT_BASIC_UI_RESTRICTIONS ui = {JOB_OBJECT_UILIMIT_ALL};
    if (!SetInformationJobObject(job.get(), JobObjectBasicUIRestrictions, &ui, sizeof ui))
      return OwnedHandle();
  }
  return job;
}

OwnedHandle RestrictedToken() {
  HANDLE own = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(),
                        TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT,
                        &own))
    return OwnedHandle();
  const OwnedHandle own_token(own);
  HANDLE restricted = nullptr;
  if (!CreateRestrictedToken(own, DISABLE_MAX_PRIVILEGE, 0, nullptr, 0, nullptr, 0, nullptr,
                             &restricted))
    return OwnedHandle();
  OwnedHandle token(restricted);
  // Low integrity: nothing it could open by name is writable to it, its inherited handles aside.
  SID_IDENTIFIER_AUTHORITY label = SECURITY_MANDATORY_LABEL_AUTHORITY;
  PSID low = nullptr;
  if (!AllocateAndInitializeSid(&label, 1, SECURITY_MANDATORY_LOW_RID, 0, 0, 0, 0, 0, 0, 0, &low))
    return OwnedHandle();
  TOKEN_MANDATORY_LABEL level = {};
  level.Label.Attributes = SE_GROUP_INTEGRITY;
  level.Label.Sid = low;
  const BOOL lowered = SetTokenInformation(token.get(), TokenIntegrityLevel, &level,
                                           sizeof level + GetLengthSid(low));
  FreeSid(low);
  return lowered ? std::move(token) : OwnedHandle();
}

DWORD64 CreationMitigations() {
  // Not win32k: the program imports USER32, which cannot load without it. Not dynamic code: the
  // child places its code first, and forbids it itself once it has (sandbox.cpp).
  // DEP is always on for a 64-bit process, and SEHOP is for 32-bit ones: neither is asked.
  return PROCESS_CREATION_MITIGATION_POLICY_STRICT_HANDLE_CHECKS_ALWAYS_ON |
         PROCESS_CREATION_MITIGATION_POLICY_EXTENSION_POINT_DISABLE_ALWAYS_ON |
         PROCESS_CREATION_MITIGATION_POLICY_IMAGE_LOAD_NO_REMOTE_ALWAYS_ON |
         PROCESS_CREATION_MITIGATION_POLICY_IMAGE_LOAD_NO_LOW_LABEL_ALWAYS_ON |
         PROCESS_CREATION_MITIGATION_POLICY_FONT_DISABLE_ALWAYS_ON;
}

DWORD ChildProcessPolicy() { return PROCESS_CREATION_CHILD_PROCESS_RESTRICTED; }

bool StartBehindWallsGranted(bool walled, bool have_token,
                             const std::function<bool(bool token, bool policies)>& start,
                             bool& token, bool& policies) {
  const struct {
    bool token, policies;
  } attempts[] = {{true, true}, {true, false}, {false, true}, {false, false}};
  for (const auto& attempt : attempts) {
    if ((attempt.token || attempt.policies) && !walled) continue;
    if (attempt.token && !have_token) continue;
    if (start(attempt.token, attempt.policies)) {
      token = attempt.token;
      policies = attempt.policies;
      return true;
    }
  }
  return false;
}

void RecordGrantedWalls(bool token, bool mitigations) {
  granted = KNOWN | (token ? TOKEN : 0) | (mitigations ? MITIGATIONS : 0);
}

GrantedWalls LastGrantedWalls() {
  const int now = granted;
  return {(now & KNOWN) != 0, (now & TOKEN) != 0, (now & MITIGATIONS) != 0};
}

}  // namespace stats
