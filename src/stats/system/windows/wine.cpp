#include "stats/system/windows/wine.h"

#include <windows.h>

#include <cstring>

namespace stats {

namespace {

// One of Wine's own exports from ntdll, or null on Windows itself.
template <typename Function>
Function WineExport(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

}  // namespace

std::string WineVersion() {
  using GetWineVersion = const char*(CDECL*)();
  const auto wine_version = WineExport<GetWineVersion>("wine_get_version");
  return wine_version != nullptr ? wine_version() : "";
}

bool WineOnLinux() {
  using GetHostVersion = void(CDECL*)(const char** system, const char** release);
  const auto host_version = WineExport<GetHostVersion>("wine_get_host_version");
  if (host_version == nullptr) return false;
  const char* system = nullptr;
  const char* release = nullptr;
  host_version(&system, &release);
  return system != nullptr && std::strcmp(system, "Linux") == 0;
}

}  // namespace stats
