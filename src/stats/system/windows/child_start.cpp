#include "stats/system/windows/child_start.h"

#include <cstdio>

#include "stats/system/windows/child_walls.h"
#include "stats/system/windows/linux_call_wall.h"

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

// The attributes a child is created with: its handle list and, when asked, its policies.
class Attributes {
 public:
  Attributes(std::vector<HANDLE>& listed, bool policies) {
    const DWORD count = policies ? 3 : 1;
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, count, 0, &size);
    bytes_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(bytes_.data());
    made_ = InitializeProcThreadAttributeList(list, count, 0, &size) &&
            UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, listed.data(),
                                      listed.size() * sizeof(HANDLE), nullptr, nullptr) &&
            (!policies ||
             (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_MITIGATION_POLICY,
                                        &mitigations_, sizeof mitigations_, nullptr, nullptr) &&
              UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_CHILD_PROCESS_POLICY,
                                        &child_policy_, sizeof child_policy_, nullptr, nullptr)));
    error_ = made_ ? 0 : GetLastError();
  }
  ~Attributes() {
    if (!bytes_.empty()) DeleteProcThreadAttributeList(list());
  }
  LPPROC_THREAD_ATTRIBUTE_LIST list() {
    return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(bytes_.data());
  }
  DWORD error() const { return error_; }

 private:
  std::vector<unsigned char> bytes_;
  DWORD64 mitigations_ = CreationMitigations();
  DWORD child_policy_ = ChildProcessPolicy();
  bool made_ = false;
  DWORD error_ = 0;
};

}  // namespace

bool MakePipe(OwnedHandle& read_end, OwnedHandle& write_end, DWORD size) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE ends[2];
  if (!CreatePipe(&ends[0], &ends[1], &inheritable, size)) return false;
  read_end.reset(ends[0]);
  write_end.reset(ends[1]);
  return SetHandleInformation(ends[0], HANDLE_FLAG_INHERIT, 0) != 0;
}

StartedChild StartChild(const std::vector<std::string>& words, bool search_path,
                        const ChildLimits& limits, const ChildSetup& setup) {
  StartedChild child;
  if (words.empty()) {
    child.failure = "cannot start a child without a program to run";
    return child;
  }
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  const OwnedHandle nul(setup.input != nullptr
                            ? nullptr
                            : CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          &inheritable, OPEN_EXISTING, 0, nullptr));
  const HANDLE input = setup.input != nullptr ? setup.input : nul.get();
  if (input == nullptr || input == INVALID_HANDLE_VALUE) {
    child.failure = "cannot open NUL as the child's input: " + SystemWords(GetLastError());
    return child;
  }
  OwnedHandle output_end, errors_end;
  if (!MakePipe(child.output, output_end) || !MakePipe(child.errors, errors_end)) {
    child.failure = "cannot create a pipe: " + SystemWords(GetLastError());
    return child;
  }
  child.job = JobFor(limits, setup.walled);
  if (!child.job) {
    child.failure = "cannot create a job for the child: " + SystemWords(GetLastError());
    return child;
  }
  // Only these handles reach the child, whatever else this process holds inheritable.
  std::vector<HANDLE> listed = {input, output_end.get(), errors_end.get()};
  listed.insert(listed.end(), setup.inherited.begin(), setup.inherited.end());
  std::wstring line;
  for (const std::string& word : words) line += (line.empty() ? L"" : L" ") + Quoted(Wide(word));
  const std::wstring program = Wide(words[0]);
  const OwnedHandle token(setup.walled ? RestrictedToken() : OwnedHandle());
  // Suspended until it is in its job, so that nothing it starts escapes the job; a group of its
  // own, so that Ctrl-C reaches only this process, which ends the job. Walls the system refuses
  // are left off, the strongest first kept.
  const DWORD flags = EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP;
  PROCESS_INFORMATION started = {};
  DWORD error = 0;
  bool with_token = false, with_policies = false;
  const auto start = [&](bool use_token, bool use_policies) {
    Attributes attributes(listed, use_policies);
    if (attributes.error() != 0) {
      error = attributes.error();
      return false;
    }
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input;
    startup.StartupInfo.hStdOutput = output_end.get();
    startup.StartupInfo.hStdError = errors_end.get();
    startup.lpAttributeList = attributes.list();
    const wchar_t* path = search_path ? nullptr : program.c_str();
    const bool made =
        use_token ? CreateProcessAsUserW(token.get(), path, line.data(), nullptr, nullptr, TRUE,
                                         flags, nullptr, nullptr, &startup.StartupInfo, &started)
                  : CreateProcessW(path, line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                   nullptr, &startup.StartupInfo, &started);
    error = made ? 0 : GetLastError();
    return made;
  };
  const bool made = StartBehindWallsGranted(setup.walled, static_cast<bool>(token), start,
                                            with_token, with_policies);
  if (!made) {
    child.failure = "cannot start " + (setup.named.empty() ? words[0] : setup.named) + ": " +
                    SystemWords(error);
    return child;
  }
  if (setup.walled) RecordGrantedWalls(with_token, with_policies);
  child.process.reset(started.hProcess);
  const OwnedHandle thread(started.hThread);
  if (!AssignProcessToJobObject(child.job.get(), started.hProcess)) {
    child.failure = "cannot put the child in its job: " + SystemWords(GetLastError());
    TerminateProcess(started.hProcess, 1);
    WaitForSingleObject(started.hProcess, INFINITE);
    return child;
  }
  // Left suspended, it would only end at its time limit, if it has one.
  if (ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
    child.failure = "cannot resume the child: " + SystemWords(GetLastError());
    TerminateJobObject(child.job.get(), 1);
    WaitForSingleObject(started.hProcess, INFINITE);
    return child;
  }
  return child;
}

ChildEnding EndingOfExitCode(DWORD code) {
  ChildEnding ending;
  // Errors' and warnings' codes, as an exception ends a process with; any other is a status.
  if ((code >> 28) != 0xC && (code >> 28) != 0x8) {
    ending.exit_code = static_cast<int>(code);
    const std::string call = RefusedLinuxCall(ending.exit_code);
    ending.words = call.empty() ? "exited with status " + std::to_string(ending.exit_code)
                                : "was ended for the system call " + call;
    return ending;
  }
  char hex[16];
  snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
  const char* what =
      code == 0xC0000005   ? " (access violation)"
      : code == 0xC000001D ? " (illegal instruction)"
      : code == 0xC0000096 ? " (privileged instruction)"
      : code == 0x80000003 ? " (breakpoint)"
      : code == 0x80000004 ? " (single step)"
      : code == 0xC0000094 ? " (integer division by zero)"
      : code == 0xC0000095 ? " (integer overflow)"
      : code == 0xC00000FD ? " (stack overflow)"
      : code == 0xC000013A ? " (Ctrl-C)"
      : (code >= 0xC000008D && code <= 0xC0000093) || code == 0xC00002B4 || code == 0xC00002B5
          ? " (floating-point fault)"
          : "";
  ending.fault = std::string("exception ") + hex + what;
  ending.words = "was ended by " + ending.fault;
  return ending;
}

}  // namespace stats
