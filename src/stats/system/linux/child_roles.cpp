#include "stats/system/child_roles.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "stats/system/linux/child_start.h"

namespace stats {

namespace {

// Where a child in a role finds its report channel and its shared page.
constexpr int REPORT_IN_CHILD = 3, SHARED_PAGE_IN_CHILD = 4;
// No role's input comes near this; a pipe holds it all before the child starts.
constexpr size_t MOST_INPUT = 1 << 20;
const char REFUSAL[] = "absbench-stats: the child role ";
// A role every build of this program plays: it ends at once, to show that the program starts.
const char STARTS_ROLE[] = "starts";

// `from` as descriptor `to` of the program exec starts, whatever number it has now.
bool KeepAs(int from, int to) {
  if (from == to) return fcntl(to, F_SETFD, 0) == 0;
  return dup2(from, to) == to;
}

// A pipe whose read end holds all of `message`, its write end closed; -1 with errno on failure.
int PipeHolding(const std::string& message) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return -1;
  if (message.size() > 65536) fcntl(ends[1], F_SETPIPE_SZ, static_cast<int>(MOST_INPUT));
  size_t written = 0;
  while (written < message.size()) {
    const ssize_t count = write(ends[1], message.data() + written, message.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      const int error = count < 0 ? errno : EIO;
      close(ends[0]);
      close(ends[1]);
      errno = error;
      return -1;
    }
    written += static_cast<size_t>(count);
  }
  close(ends[1]);
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
  std::string message;
  char bytes[65536];
  ssize_t count;
  while ((count = read(STDIN_FILENO, bytes, sizeof bytes)) != 0) {
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) RefuseRoleInput(role, std::string("cannot read it: ") + std::strerror(errno));
    message.append(bytes, static_cast<size_t>(count));
    if (message.size() > MOST_INPUT + 256) RefuseRoleInput(role, "it is too long");
  }
  const auto played = roles.find(role);
  if (played == roles.end() && role != STARTS_ROLE)
    RefuseRoleInput(role, "this program has no such role");
  const RoleMessageRead read = ReadRoleMessage(role, message);
  if (!read.problem.empty()) RefuseRoleInput(role, read.problem);
  if (played == roles.end()) ExitAtOnce(0);
  RoleContext context;
  context.report = ReportChannel(REPORT_IN_CHILD);
  if (argc > 3) context.shared_page = SHARED_PAGE_IN_CHILD;
  played->second(read.input, context);
  ExitAtOnce(127);
}

std::string WhyThisProgramCannotStartItself() {
  ChildLimits limits;
  limits.time_limit_ms = 10000;
  const ChildRun run = RunRole(STARTS_ROLE, "", limits);
  if (Succeeded(run)) return "";
  if (!run.failure.empty()) return run.failure;
  return "this program, started again, " + run.ending.words;
}

ChildRun RunRole(const std::string& role, const std::string& input, const ChildLimits& limits,
                 const SharedPage* shared) {
  return RunRoleWithMessage(role, RoleMessage(role, input), limits, shared);
}

ChildRun RunRoleWithMessage(const std::string& role, const std::string& message,
                            const ChildLimits& limits, const SharedPage* shared) {
  ChildRun run;
  if (message.size() > MOST_INPUT) {
    run.failure = "the input of the child role " + role + " is too long";
    return run;
  }
  const int input = PipeHolding(message);
  if (input < 0) {
    run.failure = std::string("cannot hand a child process its input: ") + std::strerror(errno);
    return run;
  }
  // Made before the fork: between fork and exec only the setup runs.
  std::string program = "absbench-stats", argument = ROLE_ARGUMENT, named = role, page = "page";
  std::vector<char*> argv = {program.data(), argument.data(), named.data()};
  if (shared != nullptr) argv.push_back(page.data());
  argv.push_back(nullptr);
  const int page_descriptor = shared != nullptr ? static_cast<int>(shared->handle()) : -1;
  run = RunChild(
      [&](int report) {
        // High numbers first, so that neither move overwrites the other's descriptor.
        const int report_copy = fcntl(report, F_DUPFD_CLOEXEC, 16);
        const int page_copy =
            page_descriptor >= 0 ? fcntl(page_descriptor, F_DUPFD_CLOEXEC, 16) : -1;
        if (report_copy < 0 || !KeepAs(report_copy, REPORT_IN_CHILD) ||
            (page_descriptor >= 0 && (page_copy < 0 || !KeepAs(page_copy, SHARED_PAGE_IN_CHILD))) ||
            prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
          const int error = errno;
          (void)!write(report, &error, sizeof error);
          _exit(127);
        }
        // This very program, not a path looked up again.
        execv("/proc/self/exe", argv.data());
        const int error = errno;
        (void)!write(report, &error, sizeof error);
        _exit(127);
      },
      limits, input);
  close(input);
  if (run.outcome == ChildRun::ENDED && run.report.size() == sizeof(int) && run.output.empty() &&
      run.errors.empty() && run.ending.exit_code == 127) {
    int error;
    std::memcpy(&error, run.report.data(), sizeof error);
    run.outcome = ChildRun::FAILED;
    run.failure = std::string("cannot start this program again: ") + std::strerror(error);
  } else if (run.outcome == ChildRun::ENDED && run.ending.exit_code == ROLE_REFUSED &&
             run.errors.rfind(REFUSAL, 0) == 0) {
    run.outcome = ChildRun::FAILED;
    run.failure = run.errors.substr(std::strlen("absbench-stats: "));
    if (!run.failure.empty() && run.failure.back() == '\n') run.failure.pop_back();
  }
  return run;
}

}  // namespace stats
