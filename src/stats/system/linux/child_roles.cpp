#include "stats/system/child_roles.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "stats/system/linux/child_start.h"
#include "stats/system/linux/descriptors.h"

namespace stats {

namespace {

// Where a child in a role finds its report channel and its shared page.
constexpr int REPORT_IN_CHILD = 3, PAGE_IN_CHILD = 4;
// No role's input comes near this; a pipe holds it all before the child starts.
constexpr size_t MOST_INPUT = 1 << 20;
const char REFUSAL[] = "absbench-stats: the child role ";

// A pipe whose read end holds all of `message`, its write end closed; -1 with errno on failure.
int PipeHolding(const std::string& message) {
  int ends[2];
  // Never blocking: a pipe that cannot hold it all (a smaller size here) is a failure, not a hang.
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  if (message.size() > 65536) fcntl(ends[1], F_SETPIPE_SZ, static_cast<int>(MOST_INPUT));
  if (const int error = WriteAll(ends[1], message); error != 0) {
    close(ends[0]);
    close(ends[1]);
    errno = error;
    return -1;
  }
  close(ends[1]);
  // The child reads it as its standard input, which blocks as any other does.
  fcntl(ends[0], F_SETFL, 0);
  return ends[0];
}

}  // namespace

void RefuseRoleInput(const std::string& role, const std::string& problem) {
  const std::string line = REFUSAL + role + " refused its input: " + problem + "\n";
  SayOnStandardError(line);
  ExitAtOnce(ROLE_REFUSED);
}

void PlayRoleIfAsked(int argc, char** argv, const RoleTable& roles) {
  if (argc < 3 || std::strcmp(argv[1], ROLE_ARGUMENT) != 0) return;
  const std::string role = argv[2];
  // An exec may clear the parent's death signal (a file with capabilities of its own); it is
  // asked for again, and a parent already gone ends the child here.
  if (argc < 4 || prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || std::to_string(getppid()) != argv[3]) {
    ExitAtOnce(127);
  }
  std::string message;
  char bytes[65536];
  ssize_t count;
  while ((count = read(STDIN_FILENO, bytes, sizeof bytes)) != 0) {
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) RefuseRoleInput(role, std::string("cannot read it: ") + std::strerror(errno));
    message.append(bytes, static_cast<size_t>(count));
    if (message.size() > MOST_INPUT + 256) RefuseRoleInput(role, "it is too long");
  }
  RoleContext context;
  context.report = ReportChannel(REPORT_IN_CHILD);
  if (argc > 4) context.shared_page = PAGE_IN_CHILD;
  PlayRole(roles, role, message, context);
}

ChildRun RunRoleWithMessage(const std::string& role, const std::string& message,
                            const ChildLimits& limits, const SharedPage* shared) {
  ChildRun run;
  const int input = PipeHolding(message);
  if (input < 0) {
    run.failure = std::string("cannot hand the child role ") + role + " its input: " +
                  (errno == EAGAIN ? "it does not fit in a pipe here" : std::strerror(errno));
    return run;
  }
  // Made before the fork: between fork and exec only the setup runs. The page goes above the
  // standard descriptors here, so that the child's own setup cannot overwrite it.
  const int page =
      shared != nullptr ? fcntl(static_cast<int>(shared->handle()), F_DUPFD_CLOEXEC, 16) : -1;
  std::string program = "absbench-stats", argument = ROLE_ARGUMENT, named = role,
              parent = std::to_string(getpid()), page_word = "page";
  std::vector<char*> argv = {program.data(), argument.data(), named.data(), parent.data()};
  if (page >= 0) argv.push_back(page_word.data());
  argv.push_back(nullptr);
  run = RunChild(
      [&](int report, int setup) {
        if (dup2(report, REPORT_IN_CHILD) < 0 || (page >= 0 && dup2(page, PAGE_IN_CHILD) < 0) ||
            prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
          ExecFailed(setup);
        }
        // Nothing else of this process reaches the child: descriptors its own parent left open
        // are closed too.
        // The setup pipe stays, to say why, should the exec fail; it closes on exec.
        const unsigned first = page >= 0 ? PAGE_IN_CHILD + 1 : PAGE_IN_CHILD;
        syscall(SYS_close_range, first, static_cast<unsigned>(setup) - 1, 0);
        syscall(SYS_close_range, static_cast<unsigned>(setup) + 1, ~0U, 0);
        // This very program, not a path looked up again.
        execv("/proc/self/exe", argv.data());
        ExecFailed(setup);
      },
      limits, "this program again", input);
  close(input);
  if (page >= 0) close(page);
  if (run.outcome == ChildRun::ENDED && run.ending.exit_code == ROLE_REFUSED &&
      run.errors.rfind(REFUSAL, 0) == 0) {
    run.outcome = ChildRun::FAILED;
    run.failure = run.errors.substr(std::strlen("absbench-stats: "));
    if (!run.failure.empty() && run.failure.back() == '\n') run.failure.pop_back();
  }
  return run;
}

}  // namespace stats
