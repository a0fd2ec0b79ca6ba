#include "stats/system/windows/wine.h"

#include <windows.h>

namespace stats {

std::string WineVersion() {
  using GetWineVersion = const char*(CDECL*)();
  const auto wine_version = reinterpret_cast<GetWineVersion>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
  return wine_version != nullptr ? wine_version() : "";
}

}  // namespace stats
