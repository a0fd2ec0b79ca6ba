#include "stats/system/files.h"
#include "stats/system/windows/handles.h"

namespace stats {

namespace {

// The volume and file index of an open file: the same for every path to it, whatever its case,
// its slashes, its short name or a link.
std::string FileKey(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION facts;
  if (!GetFileInformationByHandle(file, &facts)) return "";
  return std::to_string(facts.dwVolumeSerialNumber) + ":" +
         std::to_string((static_cast<unsigned long long>(facts.nFileIndexHigh) << 32) |
                        facts.nFileIndexLow);
}

}  // namespace

PathIdentity IdentityOf(const std::string& path) {
  PathIdentity identity;
  const PathKind kind = KindOfPath(path);
  if (kind != PathKind::MISSING) {
    identity.exists = true;
    identity.regular = kind == PathKind::DISK_FILE;
    const OwnedHandle file(
        CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file) identity.key = FileKey(file.get());
    return identity;
  }
  // Not there yet: its full path, in the case the file system folds names to.
  const std::wstring wide = Wide(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return identity;
  std::wstring full(size, L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), size, full.data(), nullptr));
  for (wchar_t& letter : full) letter = letter == L'/' ? L'\\' : letter;
  CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
  identity.key = Utf8(full);
  return identity;
}

std::string TryOutputPath(const std::string& path) {
  const PathKind kind = KindOfPath(path);
  if (kind == PathKind::FOLDER) return "cannot write " + path + ": it is a folder";
  // A device or pipe is opened as WriteWholeFile will open it; NUL takes anything.
  const bool in_place = kind == PathKind::DEVICE;
  const std::string tried =
      in_place ? path : path + ".tmp.try." + std::to_string(GetCurrentProcessId());
  const OwnedHandle file(CreateFileW(
      Wide(tried).c_str(), in_place ? GENERIC_WRITE : GENERIC_WRITE | DELETE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, in_place ? OPEN_EXISTING : CREATE_NEW,
      in_place ? 0 : FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file) return "cannot write " + path + ": " + SystemWords(GetLastError());
  return "";
}

}  // namespace stats
