#include "stats/system/machine.h"

#include <cstdio>

#include "stats/system/windows/handles.h"
#include "stats/system/windows/wine.h"

namespace stats {

namespace {

// The version as the system's kernel has it: GetVersionEx answers a program without a manifest
// with Windows 8's.
std::string WindowsVersion() {
  using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto get_version =
      reinterpret_cast<GetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (get_version == nullptr || get_version(&version) != 0) return "";
  return std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) +
         "." + std::to_string(version.dwBuildNumber);
}

}  // namespace

// Processors are numbered as Linux numbers them: one count across every processor group, group 0's
// first, so that --cpu reaches past the 64 a group holds.
int MostCpuNumber() {
  const DWORD count = GetMaximumProcessorCount(ALL_PROCESSOR_GROUPS);
  return count > 0 ? static_cast<int>(count) - 1 : 63;
}

int CurrentCpu() {
  PROCESSOR_NUMBER where = {};
  GetCurrentProcessorNumberEx(&where);
  int cpu = where.Number;
  for (WORD group = 0; group < where.Group; ++group)
    cpu += static_cast<int>(GetMaximumProcessorCount(group));
  return cpu;
}

std::string PinThread(int cpu) {
  GROUP_AFFINITY affinity = {};
  int number = cpu;
  const WORD groups = GetMaximumProcessorGroupCount();
  while (affinity.Group < groups &&
         number >= static_cast<int>(GetMaximumProcessorCount(affinity.Group))) {
    number -= static_cast<int>(GetMaximumProcessorCount(affinity.Group));
    ++affinity.Group;
  }
  if (cpu < 0 || affinity.Group == groups || number >= static_cast<int>(sizeof(KAFFINITY) * 8)) {
    return "cannot pin to CPU " + std::to_string(cpu) + ": the system has no such processor";
  }
  affinity.Mask = KAFFINITY{1} << number;
  if (!SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr)) {
    return "cannot pin to CPU " + std::to_string(cpu) + ": " + SystemWords(GetLastError());
  }
  return "";
}

// The benchmark's own raise on Windows: the high priority class.
bool RaisePriority() { return SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS) != 0; }

bool PriorityRaiseGranted() {
  const DWORD now = GetPriorityClass(GetCurrentProcess());
  if (now == 0) return false;
  if (now == HIGH_PRIORITY_CLASS || now == REALTIME_PRIORITY_CLASS) return true;
  if (!RaisePriority()) return false;
  SetPriorityClass(GetCurrentProcess(), now);
  return true;
}

std::string SystemName() {
  const std::string version = WindowsVersion();
  const std::string wine = WineVersion();
  return "Windows" + (version.empty() ? "" : " " + version) + " x86_64" +
         (wine.empty() ? "" : " (Wine " + wine + ")");
}

std::string KernelRelease() { return WindowsVersion(); }

int LogicalCpus() {
  const DWORD count = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  return static_cast<int>(count);
}

std::string SystemProcessorName() {
  wchar_t name[256];
  DWORD size = sizeof name;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                   L"ProcessorNameString", RRF_RT_REG_SZ, nullptr, name, &size) != ERROR_SUCCESS)
    return "unknown processor";
  return Utf8(name);
}

bool StandardErrorIsTerminal() {
  // A console rewrites the progress line in place only once it follows the terminal's sequences.
  const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  return GetConsoleMode(errors, &mode) &&
         SetConsoleMode(errors, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

std::string UtcNow() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  char text[32];
  snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay,
           now.wHour, now.wMinute, now.wSecond);
  return text;
}

}  // namespace stats
