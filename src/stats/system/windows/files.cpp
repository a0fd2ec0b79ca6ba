#include "stats/system/files.h"

#include <atomic>
#include <cctype>

#include "stats/system/windows/handles.h"

namespace stats {

namespace {

std::string CannotWrite(const std::string& path, DWORD error) {
  return "cannot write " + path + ": " + SystemWords(error);
}

// A new file beside `path`, made exclusively, so that it is never a file or link already there.
OwnedHandle NewFileBeside(const std::string& path, std::string& temporary, DWORD& error) {
  static std::atomic<unsigned> made{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = path + ".tmp." + std::to_string(GetCurrentProcessId()) + "." +
                std::to_string(made++) + "." + std::to_string(GetTickCount64() % 100000);
    OwnedHandle file(CreateFileW(Wide(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return file;
    error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return OwnedHandle();
}

}  // namespace

std::string WriteWholeFile(const std::string& path, const std::string& content) {
  if (KindOfPath(path) == PathKind::DEVICE) {
    // NUL as a sink, or a named pipe, takes the bytes where it is.
    const OwnedHandle device(CreateFileW(Wide(path).c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         0, nullptr));
    const DWORD error = device ? WriteAllTo(device.get(), content) : GetLastError();
    return error == 0 ? "" : CannotWrite(path, error);
  }
  std::string temporary;
  DWORD error = 0;
  OwnedHandle file = NewFileBeside(path, temporary, error);
  if (!file) return CannotWrite(path, error);
  error = WriteAllTo(file.get(), content);
  if (!CloseHandle(file.release()) && error == 0) error = GetLastError();
  if (error == 0 && !MoveFileExW(Wide(temporary).c_str(), Wide(path).c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
  }
  if (error != 0) {
    DeleteFileW(Wide(temporary).c_str());
    return CannotWrite(path, error);
  }
  return "";
}

BoundedRead ReadBounded(const std::string& path, size_t bound) {
  BoundedRead result;
  const OwnedHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    result.error = SystemWords(GetLastError());
    return result;
  }
  char buffer[4096];
  while (result.bytes.size() <= bound) {
    const size_t room = bound + 1 - result.bytes.size();
    DWORD count = 0;
    const DWORD asked = static_cast<DWORD>(room < sizeof buffer ? room : sizeof buffer);
    if (!ReadFile(file.get(), buffer, asked, &count, nullptr)) {
      // A pipe's writer gone is its end, as a file's end is.
      if (GetLastError() == ERROR_BROKEN_PIPE) break;
      result.error = SystemWords(GetLastError());
      result.bytes.clear();
      return result;
    }
    if (count == 0) break;
    result.bytes.append(buffer, count);
  }
  if (result.bytes.size() > bound) {
    result.outcome = BoundedRead::TOO_LARGE;
    result.bytes.clear();
    return result;
  }
  result.outcome = BoundedRead::READ;
  return result;
}

std::string ProgramBesideThisOne(const std::string& name) {
  const std::string self = ThisProgramsPath();
  if (self.empty()) return name + ".exe";
  return self.substr(0, self.find_last_of("\\/") + 1) + name + ".exe";
}

long long FileSize(const std::string& path, std::string& problem) {
  WIN32_FILE_ATTRIBUTE_DATA facts;
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &facts)) {
    problem = SystemWords(GetLastError());
    return -1;
  }
  return static_cast<long long>(facts.nFileSizeHigh) << 32 | facts.nFileSizeLow;
}

// A file CreateProcess starts by its name alone: a program image, never a folder or a script,
// which needs its interpreter named first.
bool IsExecutable(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return false;
  const size_t dot = path.find_last_of(".\\/");
  if (dot == std::string::npos || path[dot] != '.') return false;
  std::string extension = path.substr(dot);
  for (char& letter : extension) letter = static_cast<char>(std::tolower(letter));
  return extension == ".exe" || extension == ".com";
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  const HANDLE listing = FindFirstFileW(Wide(folder + "\\*").c_str(), &found);
  if (listing == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(Utf8(found.cFileName));
  } while (FindNextFileW(listing, &found));
  FindClose(listing);
  return names;
}

std::string EnvironmentValue(const char* name) {
  const std::wstring wide_name = Wide(name);
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD length =
        GetEnvironmentVariableW(wide_name.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return "";
    // Too small: the length asked for counts the final zero.
    if (length >= value.size()) {
      value.resize(length);
      continue;
    }
    value.resize(length);
    return Utf8(value);
  }
}

}  // namespace stats
