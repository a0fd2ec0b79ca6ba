// Runs absbench_quick.exe in a console of its own, as a person at a Windows console does: a key
// typed during the run must not end the wait, a key typed after the prompt must. The report goes
// to a pipe, so that the driver sees when the run has started and when the prompt is up.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const char PROMPT[] = "Press any key to continue ...";

int Fail(const std::string& what) {
  std::printf("key wait: FAILED: %s (last error %lu)\n", what.c_str(), GetLastError());
  return 1;
}

std::wstring BesideThisProgram(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring directory(path, length);
  return directory.substr(0, directory.find_last_of(L"\\/") + 1) + name;
}

// Appends what the pipe holds to `output` until it contains `text`; false after `limit_ms`.
bool ReadUntil(HANDLE pipe, std::string& output, const std::string& text, DWORD limit_ms) {
  const ULONGLONG deadline = GetTickCount64() + limit_ms;
  while (output.find(text) == std::string::npos) {
    if (GetTickCount64() > deadline) return false;
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
    if (available == 0) {
      Sleep(10);
      continue;
    }
    char bytes[256];
    DWORD count = 0;
    if (!ReadFile(pipe, bytes, sizeof bytes, &count, nullptr)) return false;
    output.append(bytes, count);
  }
  return true;
}

// A key-down and a key-up record of a printable key: the console's keyboard reader counts a key
// only with both, and only when it carries a character.
bool TypeKey(DWORD process_id, wchar_t key, WORD virtual_key) {
  FreeConsole();
  if (!AttachConsole(process_id)) return false;
  const HANDLE input =
      CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  bool typed = false;
  if (input != INVALID_HANDLE_VALUE) {
    INPUT_RECORD records[2] = {};
    for (int i = 0; i < 2; ++i) {
      records[i].EventType = KEY_EVENT;
      records[i].Event.KeyEvent.bKeyDown = i == 0;
      records[i].Event.KeyEvent.wRepeatCount = 1;
      records[i].Event.KeyEvent.wVirtualKeyCode = virtual_key;
      records[i].Event.KeyEvent.uChar.UnicodeChar = key;
    }
    DWORD written = 0;
    typed = WriteConsoleInputW(input, records, 2, &written) && written == 2;
    CloseHandle(input);
  }
  FreeConsole();
  return typed;
}

}  // namespace

int main() {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE report_read, report_write;
  if (!CreatePipe(&report_read, &report_write, &inheritable, 0)) return Fail("CreatePipe");
  SetHandleInformation(report_read, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = report_write;
  startup.hStdError = report_write;
  PROCESS_INFORMATION child = {};
  std::wstring program = BesideThisProgram(L"absbench_quick.exe");
  if (!CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr,
                      nullptr, &startup, &child)) {
    return Fail("cannot start absbench_quick.exe");
  }
  CloseHandle(report_write);

  std::string output;
  if (!ReadUntil(report_read, output, "\r\n", 30000)) return Fail("no output from the run");
  if (!TypeKey(child.dwProcessId, L'x', 'X')) return Fail("cannot type a key during the run");
  if (!ReadUntil(report_read, output, PROMPT, 60000)) return Fail("no prompt; output: " + output);
  if (output.find("positive pass") == std::string::npos) return Fail("no report: " + output);
  if (WaitForSingleObject(child.hProcess, 700) != WAIT_TIMEOUT) {
    return Fail("the key typed during the run ended the wait");
  }
  if (!TypeKey(child.dwProcessId, L'y', 'Y')) return Fail("cannot type a key after the prompt");
  if (WaitForSingleObject(child.hProcess, 5000) != WAIT_OBJECT_0) {
    TerminateProcess(child.hProcess, 1);
    return Fail("the key typed after the prompt did not end the wait within 5 s");
  }
  DWORD exit_code = 1;
  GetExitCodeProcess(child.hProcess, &exit_code);
  if (exit_code != 0) return Fail("exit code " + std::to_string(exit_code));
  std::printf("key wait: passed\n");
  return 0;
}
