// The child the Windows process tests start: what it does is named by its first argument.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void Say(DWORD stream, const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(stream), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Utf8Of(const wchar_t* word) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, word, -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, word, -1, text.data(), length, nullptr, nullptr);
  text.pop_back();
  return text;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  const std::wstring role = count > 1 ? words[1] : L"";
  if (role == L"streams") {
    Say(STD_OUTPUT_HANDLE, "out");
    Say(STD_ERROR_HANDLE, "err");
    char byte;
    DWORD got = 1;
    // Its input is at its end at once: NUL.
    const BOOL read = ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, nullptr);
    return read && got == 0 ? 3 : 4;
  }
  if (role == L"words") {
    for (int word = 2; word < count; ++word) Say(STD_OUTPUT_HANDLE, Utf8Of(words[word]) + "\n");
    return 0;
  }
  if (role == L"sleeps") Sleep(30000);
  if (role == L"floods") {
    const std::string line(4096, 'y');
    for (;;) Say(STD_OUTPUT_HANDLE, line);
  }
  if (role == L"leaves-a-sleeper" || role == L"leaves-a-sleeper-holding-its-output") {
    // A process of its own left running as it exits: with no handle of its own, or with its
    // standard output, which then stays open after it ended.
    const bool holding = role != L"leaves-a-sleeper";
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" sleeps";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    // No standard handles unless given, not even the ones a console program is handed unasked.
    startup.dwFlags = STARTF_USESTDHANDLES;
    if (holding) startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(self, line.data(), nullptr, nullptr, holding, DETACHED_PROCESS, nullptr,
                        nullptr, &startup, &started))
      return 5;
    Say(STD_OUTPUT_HANDLE, std::to_string(started.dwProcessId));
    return 0;
  }
  return 9;
}
