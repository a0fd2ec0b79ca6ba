#include "stats/system/windows/handles.h"

#include <algorithm>

namespace stats {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return L"";
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return "";
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::string SystemWords(DWORD error) {
  wchar_t* words = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
  std::string text = length > 0 ? Utf8(std::wstring(words, length)) : "";
  LocalFree(words);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  return text.empty() ? "system error " + std::to_string(error) : text;
}

PathKind KindOfPath(const std::string& path) {
  // No access asked: a device or a file another program holds still says what it is.
  const OwnedHandle file(CreateFileW(Wide(path).c_str(), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return PathKind::MISSING;
  if (GetFileType(file.get()) != FILE_TYPE_DISK) return PathKind::DEVICE;
  BY_HANDLE_FILE_INFORMATION facts;
  if (GetFileInformationByHandle(file.get(), &facts) &&
      (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return PathKind::FOLDER;
  return PathKind::DISK_FILE;
}

DWORD WriteAllTo(HANDLE handle, const std::string& bytes) {
  size_t written = 0;
  while (written < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1 << 20));
    DWORD count = 0;
    if (!WriteFile(handle, bytes.data() + written, chunk, &count, nullptr)) return GetLastError();
    if (count == 0) return ERROR_HANDLE_DISK_FULL;
    written += count;
  }
  return 0;
}

std::string ThisProgramsPath() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length;
  while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
             path.size() &&
         path.size() < 32768) {
    path.resize(path.size() * 2);
  }
  path.resize(length == path.size() ? 0 : length);
  return Utf8(path);
}

}  // namespace stats
