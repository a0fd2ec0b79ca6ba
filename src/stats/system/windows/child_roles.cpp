#include "stats/system/child_roles.h"

#include <charconv>
#include <cstring>

#include "stats/system/windows/child_start.h"
#include "stats/system/windows/fault_ending.h"
#include "stats/system/windows/role_input.h"

namespace stats {

namespace {

// No role's input comes near this; a pipe holds it all before the child starts.
constexpr size_t MOST_INPUT = 1 << 20;
const char REFUSAL[] = "absbench-stats: the child role ";

// A handle's value as the hidden arguments carry it, in decimal digits alone; false when it is
// none, too large included.
bool HandleOf(const char* word, intptr_t& handle) {
  const char* end = word + std::strlen(word);
  if (word == end || *word < '0' || *word > '9') return false;
  const auto [stop, error] = std::from_chars(word, end, handle);
  return error == std::errc() && stop == end;
}

// The console's events reach this process's parent too, which ends its job; the child goes on
// until then, so that the parent tells a stop from a child that ended. The system ends a process
// when its handler returns from a close, a log-off or a shutdown: this one never returns then.
BOOL WINAPI LeftToTheParent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      Sleep(INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void RefuseRoleInput(const std::string& role, const std::string& problem) {
  SayOnStandardError(REFUSAL + role + " refused its input: " + problem + "\n");
  ExitAtOnce(ROLE_REFUSED);
}

void PlayRoleIfAsked(int argc, char** argv, const RoleTable& roles) {
  if (argc < 3 || std::strcmp(argv[1], ROLE_ARGUMENT) != 0) return;
  const std::string role = argv[2];
  EndAtOnceOnFaults();
  SetConsoleCtrlHandler(LeftToTheParent, TRUE);
  // Its parent's end is its own: the job kills it when the parent's handle to the job closes.
  intptr_t report = 0, page = SharedPage::NO_HANDLE;
  if (argc < 4 || !HandleOf(argv[3], report) || (argc > 4 && !HandleOf(argv[4], page)))
    ExitAtOnce(127);
  std::string message;
  char bytes[65536];
  DWORD count = 0;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  while (true) {
    // The write end closed is the input's end, as a pipe's writer gone says.
    if (!ReadFile(input, bytes, sizeof bytes, &count, nullptr)) {
      if (GetLastError() == ERROR_BROKEN_PIPE) break;
      RefuseRoleInput(role, "cannot read it: " + SystemWords(GetLastError()));
    }
    if (count == 0) break;
    message.append(bytes, count);
    if (message.size() > MOST_INPUT + 256) RefuseRoleInput(role, "it is too long");
  }
  RoleContext context;
  context.report = ReportChannel(report);
  context.shared_page = page;
  PlayRole(roles, role, message, context);
}

ChildRun RunRoleWithMessage(const std::string& role, const std::string& message,
                            const ChildLimits& limits, const SharedPage* shared) {
  ChildRun run;
  // Declared first, so that it is waited for once the pipe's read end here is closed.
  InputRest rest;
  OwnedHandle input, report, report_end, page;
  if (const DWORD error = PipeHolding(message, input, rest); error != 0) {
    run.failure = "cannot hand the child role " + role + " its input: " + SystemWords(error);
    return run;
  }
  if (!MakePipe(report, report_end)) {
    run.failure = "cannot create a pipe: " + SystemWords(GetLastError());
    return run;
  }
  // The page's handle is handed over as a copy of its own, inheritable whatever the original is.
  HANDLE page_copy = nullptr;
  if (shared != nullptr &&
      !DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(shared->handle()),
                       GetCurrentProcess(), &page_copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
    run.failure =
        "cannot hand the child role " + role + " its shared page: " + SystemWords(GetLastError());
    return run;
  }
  page.reset(page_copy);
  std::vector<std::string> words = {ThisProgramsPath(), ROLE_ARGUMENT, role,
                                    std::to_string(reinterpret_cast<intptr_t>(report_end.get()))};
  ChildSetup setup;
  setup.input = input.get();
  setup.inherited = {report_end.get()};
  if (page) {
    words.push_back(std::to_string(reinterpret_cast<intptr_t>(page.get())));
    setup.inherited.push_back(page.get());
  }
  setup.walled = true;
  setup.named = "this program again";
  StartedChild child = StartChild(words, false, limits, setup);
  // The child holds its own ends now: the report ends when the child does.
  input.reset();
  report_end.reset();
  page.reset();
  if (!child.failure.empty()) {
    run.failure = child.failure;
    return run;
  }
  child.report = std::move(report);
  run = WatchChild(child, limits);
  if (run.outcome == ChildRun::ENDED && run.ending.exit_code == ROLE_REFUSED &&
      run.errors.rfind(REFUSAL, 0) == 0) {
    run.outcome = ChildRun::FAILED;
    run.failure = run.errors.substr(std::strlen("absbench-stats: "));
    if (!run.failure.empty() && run.failure.back() == '\n') run.failure.pop_back();
  }
  return run;
}

}  // namespace stats
