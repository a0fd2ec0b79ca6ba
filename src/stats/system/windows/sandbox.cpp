#include "stats/system/sandbox.h"

#include <atomic>

#include "stats/system/windows/handles.h"
#include "stats/system/windows/linux_call_wall.h"

namespace stats {

namespace {

std::atomic<bool> closed_in{false};

using SetPolicy = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, void*, SIZE_T);

// Looked up rather than imported, so that a system without it still starts the program.
SetPolicy PolicySetter() {
  return reinterpret_cast<SetPolicy>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetProcessMitigationPolicy")));
}

template <typename Policy>
bool Set(SetPolicy set, PROCESS_MITIGATION_POLICY which, Policy policy) {
  return set(which, &policy, sizeof policy) != 0;
}

}  // namespace

std::string EnterSandbox(const SandboxRules&) {
  const SetPolicy set = PolicySetter();
  if (set == nullptr) return "this system cannot forbid a process new executable code";
  // No page made executable from here on: what runs was placed before, as the Linux filter
  // forbids every mapping after placement. Without it the room stays open, so the child ends.
  PROCESS_MITIGATION_DYNAMIC_CODE_POLICY dynamic_code = {};
  dynamic_code.ProhibitDynamicCode = 1;
  if (!Set(set, ProcessDynamicCodePolicy, dynamic_code)) {
    return "the system refuses to forbid new executable code: " + SystemWords(GetLastError());
  }
  // Under Wine on Linux the placed code could reach the host's kernel past Wine: not from there.
  if (std::string refused = RefuseLinuxCallsFromPlacedCode(); !refused.empty()) return refused;
  // The rest narrow what the code could reach, and are kept where the system grants them. Not
  // win32k: the program imports USER32, and its calls at exit would end the child.
  PROCESS_MITIGATION_EXTENSION_POINT_DISABLE_POLICY extension_points = {};
  extension_points.DisableExtensionPoints = 1;
  Set(set, ProcessExtensionPointDisablePolicy, extension_points);
  PROCESS_MITIGATION_STRICT_HANDLE_CHECK_POLICY handles = {};
  handles.RaiseExceptionOnInvalidHandleReference = 1;
  handles.HandleExceptionsPermanentlyEnabled = 1;
  Set(set, ProcessStrictHandleCheckPolicy, handles);
  PROCESS_MITIGATION_IMAGE_LOAD_POLICY images = {};
  images.NoRemoteImages = 1;
  images.NoLowMandatoryLabelImages = 1;
  images.PreferSystem32Images = 1;
  Set(set, ProcessImageLoadPolicy, images);
  PROCESS_MITIGATION_FONT_DISABLE_POLICY fonts = {};
  fonts.DisableNonSystemFonts = 1;
  Set(set, ProcessFontDisablePolicy, fonts);
  closed_in = true;
  return "";
}

bool ClosedIn() { return closed_in; }

// Windows has no system-call filter; under Wine on Linux, placed code's Linux calls are refused.
std::string RefusedSystemCall(const ChildRun& child) {
  return child.outcome == ChildRun::ENDED ? RefusedLinuxCall(child.ending.exit_code) : "";
}

}  // namespace stats
