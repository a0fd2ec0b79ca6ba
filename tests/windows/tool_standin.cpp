// A Windows program that stands in for a tool of a Windows toolchain (as, objcopy, objdump from a
// mingw-w64 binutils; llvm-mc, llvm-mca) under Wine, where only the Linux builds of those tools
// are at hand: copied under the tool's name, it runs the Linux tool of that name on the same
// words, its paths translated for Linux and back in what the tool says. Wine starts a Linux
// program but gives no handle to wait on or exit status, so a script records the status in a file.
#include <windows.h>

#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::map<std::string, std::string> LINUX_TOOLS = {{"as", "x86_64-w64-mingw32-as"},
                                                        {"objcopy", "x86_64-w64-mingw32-objcopy"},
                                                        {"objdump", "x86_64-w64-mingw32-objdump"},
                                                        {"llvm-mc", "llvm-mc-19"},
                                                        {"llvm-mca", "llvm-mca-19"}};

std::string Utf8(const std::wstring& wide) {
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), length, nullptr, nullptr);
  text.pop_back();
  return text;
}

std::wstring Wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
  wide.pop_back();
  return wide;
}

// Wine's own name for a Windows path; empty when not under Wine.
std::string UnixPath(const std::wstring& path) {
  using ToUnix = char*(CDECL*)(const wchar_t*);
  static const auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unix_path = to_unix != nullptr ? to_unix(path.c_str()) : nullptr;
  if (unix_path == nullptr) return "";
  std::string result = unix_path;
  HeapFree(GetProcessHeap(), 0, unix_path);
  return result;
}

std::string ShellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (const char letter : word)
    quoted += letter == '\'' ? std::string("'\\''") : std::string(1, letter);
  return quoted + "'";
}

std::string FileBytes(const std::wstring& path) {
  std::string bytes;
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[4096];
  DWORD count = 0;
  while (ReadFile(file, buffer, sizeof buffer, &count, nullptr) && count > 0)
    bytes.append(buffer, count);
  CloseHandle(file);
  return bytes;
}

// What the tool said, its Linux paths given back as the Windows paths it was handed.
void Forward(std::string text, const std::vector<std::pair<std::string, std::string>>& paths,
             DWORD stream) {
  for (const auto& [windows_path, unix_path] : paths) {
    for (size_t at = 0; (at = text.find(unix_path, at)) != std::string::npos;) {
      text.replace(at, unix_path.size(), windows_path);
      at += windows_path.size();
    }
  }
  DWORD written = 0;
  WriteFile(GetStdHandle(stream), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int main() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::string name = Utf8(self);
  name = name.substr(name.find_last_of("\\/") + 1);
  name = name.substr(0, name.rfind('.'));
  const auto tool = LINUX_TOOLS.find(name);
  if (tool == LINUX_TOOLS.end()) return 120;
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::string command = ShellQuoted("/usr/bin/" + tool->second);
  std::vector<std::pair<std::string, std::string>> paths;
  for (int at = 1; at < count; ++at) {
    const std::wstring word = words[at];
    const bool path = word.size() > 2 && word[1] == L':' && (word[2] == L'\\' || word[2] == L'/');
    const std::string unix_path = path ? UnixPath(word) : "";
    if (!unix_path.empty()) paths.emplace_back(Utf8(word), unix_path);
    command += " " + ShellQuoted(unix_path.empty() ? Utf8(word) : unix_path);
  }
  wchar_t temporary[MAX_PATH];
  GetTempPathW(MAX_PATH, temporary);
  const std::wstring work = std::wstring(temporary) + L"tool-standin-" +
                            std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(GetTickCount64());
  if (!CreateDirectoryW(work.c_str(), nullptr)) return 121;
  const std::string unix_work = UnixPath(work);
  const std::string script =
      command + " >" + ShellQuoted(unix_work + "/out") + " 2>" + ShellQuoted(unix_work + "/err") +
      "\necho $? >" + ShellQuoted(unix_work + "/status.tmp") + "\nmv " +
      ShellQuoted(unix_work + "/status.tmp") + " " + ShellQuoted(unix_work + "/status") + "\n";
  const HANDLE file =
      CreateFileW((work + L"\\run.sh").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, script.data(), static_cast<DWORD>(script.size()), &written, nullptr);
  CloseHandle(file);
  std::wstring line = L"/bin/sh \"" + Wide(unix_work) + L"/run.sh\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started))
    return 122;
  const ULONGLONG deadline = GetTickCount64() + 60000;
  while (GetFileAttributesW((work + L"\\status").c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount64() > deadline) return 123;
    Sleep(2);
  }
  Forward(FileBytes(work + L"\\out"), paths, STD_OUTPUT_HANDLE);
  Forward(FileBytes(work + L"\\err"), paths, STD_ERROR_HANDLE);
  const int status = atoi(FileBytes(work + L"\\status").c_str());
  for (const wchar_t* file : {L"\\out", L"\\err", L"\\status", L"\\run.sh"})
    DeleteFileW((work + file).c_str());
  RemoveDirectoryW(work.c_str());
  return status;
}
