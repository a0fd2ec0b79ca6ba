#include "stats/system/windows/child_start.h"

#include <cstdio>

namespace stats {

namespace {

// One word of a command line as the C run-time's parser splits it again: quoted when it holds a
// space, a tab or a quote, with the backslashes before a quote doubled.
std::wstring Quoted(const std::wstring& word) {
  if (!word.empty() && word.find_first_of(L" \t\n\v\"") == std::wstring::npos) return word;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t letter : word) {
    if (letter == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(letter == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += letter;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

// A pipe whose write end the child inherits and whose read end stays here.
bool MakePipe(OwnedHandle& read_end, OwnedHandle& write_end) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE ends[2];
  if (!CreatePipe(&ends[0], &ends[1], &inheritable, 0)) return false;
  read_end.reset(ends[0]);
  write_end.reset(ends[1]);
  return SetHandleInformation(ends[0], HANDLE_FLAG_INHERIT, 0) != 0;
}

OwnedHandle JobThatEndsWithUs(size_t memory_limit) {
  OwnedHandle job(CreateJobObjectW(nullptr, nullptr));
  if (!job) return job;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (memory_limit != 0) {
    limits.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    limits.ProcessMemoryLimit = memory_limit;
  }
  if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                               sizeof limits))
    job.reset();
  return job;
}

}  // namespace

StartedChild StartChild(const std::vector<std::string>& words, bool search_path,
                        size_t memory_limit) {
  StartedChild child;
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  const OwnedHandle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &inheritable, OPEN_EXISTING, 0, nullptr));
  if (!input) {
    child.failure = "cannot open NUL as the child's input: " + SystemWords(GetLastError());
    return child;
  }
  OwnedHandle output_end, errors_end;
  if (!MakePipe(child.output, output_end) || !MakePipe(child.errors, errors_end)) {
    child.failure = "cannot create a pipe: " + SystemWords(GetLastError());
    return child;
  }
  child.job = JobThatEndsWithUs(memory_limit);
  if (!child.job) {
    child.failure = "cannot create a job for the child: " + SystemWords(GetLastError());
    return child;
  }
  // Only these three handles reach the child, whatever else this process holds inheritable.
  HANDLE listed[] = {input.get(), output_end.get(), errors_end.get()};
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<unsigned char> attributes(size);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
  STARTUPINFOEXW startup = {};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = input.get();
  startup.StartupInfo.hStdOutput = output_end.get();
  startup.StartupInfo.hStdError = errors_end.get();
  startup.lpAttributeList = list;
  if (!InitializeProcThreadAttributeList(list, 1, 0, &size) ||
      !UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, listed, sizeof listed,
                                 nullptr, nullptr)) {
    child.failure = "cannot list the child's handles: " + SystemWords(GetLastError());
    return child;
  }
  std::wstring line;
  for (const std::string& word : words) line += (line.empty() ? L"" : L" ") + Quoted(Wide(word));
  const std::wstring program = Wide(words[0]);
  PROCESS_INFORMATION started = {};
  // Suspended until it is in its job, so that nothing it starts escapes the job.
  const BOOL made = CreateProcessW(search_path ? nullptr : program.c_str(), line.data(), nullptr,
                                   nullptr, TRUE, EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED,
                                   nullptr, nullptr, &startup.StartupInfo, &started);
  const DWORD error = GetLastError();
  DeleteProcThreadAttributeList(list);
  if (!made) {
    child.failure = "cannot start " + words[0] + ": " + SystemWords(error);
    return child;
  }
  child.process.reset(started.hProcess);
  const OwnedHandle thread(started.hThread);
  if (!AssignProcessToJobObject(child.job.get(), started.hProcess)) {
    child.failure = "cannot put the child in its job: " + SystemWords(GetLastError());
    TerminateProcess(started.hProcess, 1);
    WaitForSingleObject(started.hProcess, INFINITE);
    return child;
  }
  ResumeThread(thread.get());
  return child;
}

ChildEnding EndingOfExitCode(DWORD code) {
  ChildEnding ending;
  if ((code & 0xF0000000) != 0xC0000000) {
    ending.exit_code = static_cast<int>(code);
    ending.words = "exited with status " + std::to_string(ending.exit_code);
    return ending;
  }
  char hex[16];
  snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
  const char* what = code == 0xC0000005   ? " (access violation)"
                     : code == 0xC000001D ? " (illegal instruction)"
                     : code == 0xC0000094 ? " (integer division by zero)"
                     : code == 0xC00000FD ? " (stack overflow)"
                     : code == 0xC000013A ? " (Ctrl-C)"
                                          : "";
  ending.fault = std::string("exception ") + hex + what;
  ending.words = "was ended by " + ending.fault;
  return ending;
}

}  // namespace stats
